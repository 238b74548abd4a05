#include "transfer/parametroslinea.h"

#include <gtest/gtest.h>

namespace {

TEST(ParametrosLinea, ReadsWhatAPortTakesAndRefusesTheRest)
{
    for (char par : {'N', 'O', 'E', 'M', 'S'})
        for (int bd = 5; bd <= 8; ++bd)
            for (const char *bs : {"1", "1.5", "2"}) {
                const QString texto = QStringLiteral("9600,%1,%2,%3").arg(par).arg(bd).arg(bs);
                const auto p = ParametrosLinea::interpreta(texto);
                ASSERT_TRUE(p) << texto.toStdString();
                EXPECT_EQ(p->paridad, par);
                EXPECT_EQ(p->bitsDatos, bd);
                EXPECT_EQ(p->bitsStop, QString::fromLatin1(bs).toDouble());
            }
    const auto p = ParametrosLinea::interpreta("115200,e,7,1");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->velocidad, 115200);
    EXPECT_EQ(p->paridad, 'E');
    EXPECT_DOUBLE_EQ(p->bitsPorCaracter(), 10);
    EXPECT_DOUBLE_EQ(ParametrosLinea::interpreta("4800,N,8,2")->bitsPorCaracter(), 11);
    for (const char *malo : {"4800,N,4,2", "4800,N,9,1", "4800,X,8,1", "4800,N,8,3", "0,N,8,1",
             "-9600,N,8,1", "4800,N,8", "fast,N,8,1", "4800,N,8,1,1", ""})
        EXPECT_FALSE(ParametrosLinea::interpreta(malo)) << malo;
}

TEST(RutaPuerto, NumberGivesTtySAndAPathIsKept)
{
    EXPECT_EQ(RutaPuerto(1, {}), "/dev/ttyS0");
    EXPECT_EQ(RutaPuerto(12, {}), "/dev/ttyS11");
    EXPECT_EQ(RutaPuerto(3, "/dev/pts/7"), "/dev/pts/7");
    EXPECT_EQ(RutaPuerto(0, {}), "");
}

TEST(NombreCortoPuerto, ADevicePathIsNamedByItsLastPart)
{
    const std::pair<const char *, QString> casos[]
        = {{"/dev/ttyUSB0", "ttyUSB0"}, {"/dev/pts/3", "pts/3"}, {"ttyS1", "ttyS1"},
            {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
                QStringLiteral("…A50285BI-if00-port0")}};
    for (const auto &[ruta, nombre] : casos)
        EXPECT_EQ(NombreCortoPuerto(ruta), nombre) << ruta;
}

} // namespace
