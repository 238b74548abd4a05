#include "transfer/parametroslinea.h"

#include <gtest/gtest.h>

namespace {

TEST(ParametrosLinea, ReadsWhatAPortTakesAndRefusesTheRest)
{
    const std::pair<const char *, double> buenos[] = {{"9600,N,8,1", 10}, {"115200,e,7,1.5", 10.5},
        {"4800,O,5,2", 9}, {"110,M,6,1", 9}, {"300,S,8,2", 12}};
    for (const auto &[texto, bits] : buenos) {
        const auto p = ParametrosLinea::interpreta(texto);
        ASSERT_TRUE(p) << texto;
        EXPECT_EQ(QStringLiteral("%1,%2,%3,%4")
                      .arg(p->velocidad)
                      .arg(p->paridad)
                      .arg(p->bitsDatos)
                      .arg(p->bitsStop),
            QString(texto).toUpper());
        EXPECT_DOUBLE_EQ(p->bitsPorCaracter(), bits) << texto;
    }
    for (const char *malo : {"4800,N,4,2", "4800,N,9,1", "4800,X,8,1", "4800,N,8,3", "0,N,8,1",
             "-9600,N,8,1", "4800,N,8", "fast,N,8,1", "4800,N,8,1,1", ""})
        EXPECT_FALSE(ParametrosLinea::interpreta(malo)) << malo;
}

TEST(RutaPuerto, NumberGivesTtySAndAPathIsKeptAndNamedByItsLastPart)
{
    EXPECT_EQ(RutaPuerto(1, {}) + RutaPuerto(12, {}) + RutaPuerto(0, {}), "/dev/ttyS0/dev/ttyS11");
    EXPECT_EQ(RutaPuerto(3, "/dev/pts/7"), "/dev/pts/7");
    const std::pair<const char *, QString> nombres[]
        = {{"/dev/ttyUSB0", "ttyUSB0"}, {"/dev/pts/3", "pts/3"}, {"ttyS1", "ttyS1"},
            {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
                QStringLiteral("…A50285BI-if00-port0")}};
    for (const auto &[ruta, nombre] : nombres)
        EXPECT_EQ(NombreCortoPuerto(ruta), nombre) << ruta;
}

} // namespace
