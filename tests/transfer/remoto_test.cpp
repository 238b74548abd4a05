#include "base/perfilini.h"
#include "comun/espera.h"
#include "comun/ficheros.h"
#include "comun/servidorftp.h"
#include "remote/comprobacionremota.h"
#include "settings/varsfuncsglobales.h"
#include "transfer/envioremoto.h"
#include "transfer/recepcionremota.h"
#include "transfer/sondeoremoto.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

using Estado = ResultadoTransferencia::Estado;
using VarsFuncsGlobales::Texto;
using VarsFuncsGlobales::TextosIdioma;

int argc = 1;
char nombre[] = "transfer_remoto_test";
char *argv[] = {nombre, nullptr};
QCoreApplication aplicacion(argc, argv);

Maquina maquina(const QString &com)
{
    Maquina m;
    m.nombre = QStringLiteral("Fresadora");
    m.com = com;
    return m;
}

ResultadoTransferencia resultado(QSignalSpy &terminado)
{
    if (terminado.isEmpty() && !espera([&] { return !terminado.isEmpty(); }, 20000))
        return {Estado::SinFin, QStringLiteral("no end"), 0, {}};
    return terminado.takeFirst().at(0).value<ResultadoTransferencia>();
}

QString texto(const ResultadoTransferencia &r)
{
    return QString::number(int(r.estado)) + "|" + r.error;
}

TEST(EnvioRemoto_, ProgramNamesAndTheMachinesLineEnds)
{
    const std::tuple<const char *, QByteArray, bool, const char *> casos[] = {
        {"/taller/pieza 1.nc", "%\nO1234\n", false, "pieza 1.nc"},
        {"/t/a.nc", "%\nO1234 (BRIDA)\nG0 X0\n", true, "O1234"},
        {"/t/a.nc", "\n%\n(EJE)\n:12\n", true, "O0012"},
        {"/t/a.nc", "o5\n", true, "O0005"},
        {"/t/a.nc", "O12345678\n", true, "O12345678"},
        {"/t/a.nc", "O123456789\n", true, ""},
        {"/t/a.nc", "%\nG0 X0\nO1234\n", true, ""},
        {"/t/a.nc", "OABC\n", true, ""},
        {"/t/a.nc", "", true, ""},
    };
    for (const auto &[fichero, t, nombreO, esperado] : casos)
        EXPECT_EQ(EnvioRemoto::nombrePrograma(fichero, t, nombreO), esperado) << t.toStdString();

    using F = FormatoLinea::FinBloque;
    const QList<QByteArray> l = {"%", "O1", "", "M30"};
    EXPECT_EQ(EnvioRemoto::contenido(l, F::CrLf), "%\r\nO1\r\n\r\nM30\r\n");
    EXPECT_EQ(EnvioRemoto::contenido(l, F::Lf), "%\nO1\n\nM30\n");
    EXPECT_EQ(EnvioRemoto::contenido(l, F::Cr), "%\rO1\r\rM30\r");
    // And back: whatever the control's line ends, the text window gets lines.
    EXPECT_EQ(RecepcionRemota::texto("%\r\nO1\r\rM30\n\n%"), "%\nO1\n\nM30\n\n%\n");
}

// Send over FTP: the program goes up with the machine's line ends, a name the
// control has is replaced only when the operator says so, and the copy is
// checked byte for byte.
TEST(EnvioRemoto_, SendAsksBeforeReplacingAndVerifiesTheControlsCopy)
{
    ServidorFtp servidor;
    ASSERT_TRUE(servidor.arrancado());
    Maquina m = maquina(servidor.com());
    m.verificar = true;
    m.nombreO = true;
    const QString ruta = servidor.carpeta() + "/O1000";
    EnvioRemoto envio;
    envio.setOpciones(servidor.opciones());
    QSignalSpy existe(&envio, &EnvioRemoto::existe);
    QSignalSpy terminado(&envio, &EnvioRemoto::terminado);

    const QList<QByteArray> v1 = {"%", "O1000", "G0 X1", "M30", "%"};
    const QString n = EnvioRemoto::nombrePrograma({}, "%\nO1000\n", true);
    ASSERT_TRUE(envio.inicia(m, n, v1, false));
    EXPECT_EQ(texto(resultado(terminado)), "0|");
    EXPECT_EQ(leeBytes(ruta), "%\r\nO1000\r\nG0 X1\r\nM30\r\n%\r\n");
    EXPECT_TRUE(existe.isEmpty());

    // Already there: the send waits for the answer; No leaves the old one.
    m.formato.finBloque = FormatoLinea::FinBloque::Lf;
    const QList<QByteArray> v2 = {"%", "O1000", "G0 X2", "M30", "%"};
    ASSERT_TRUE(envio.inicia(m, n, v2, false));
    ASSERT_TRUE(espera([&] { return !existe.isEmpty(); }, 20000));
    EXPECT_EQ(existe.takeFirst().at(0).toString(), "O1000");
    EXPECT_TRUE(envio.activo() && terminado.isEmpty());
    envio.continua(false);
    const ResultadoTransferencia no = resultado(terminado);
    EXPECT_EQ(no.estado, Estado::Detenida);
    EXPECT_TRUE(no.error.contains("O1000"));
    EXPECT_EQ(leeBytes(ruta), "%\r\nO1000\r\nG0 X1\r\nM30\r\n%\r\n");

    ASSERT_TRUE(envio.inicia(m, n, v2, false));
    ASSERT_TRUE(espera([&] { return !existe.isEmpty(); }, 20000));
    existe.clear();
    envio.continua(true);
    EXPECT_EQ(texto(resultado(terminado)), "0|");
    EXPECT_EQ(leeBytes(ruta), "%\nO1000\nG0 X2\nM30\n%\n");

    // --replace: no question.
    m.formato.finBloque = FormatoLinea::FinBloque::Cr;
    ASSERT_TRUE(envio.inicia(m, n, v1, true));
    EXPECT_EQ(texto(resultado(terminado)), "0|");
    EXPECT_TRUE(existe.isEmpty());
    EXPECT_EQ(leeBytes(ruta), "%\rO1000\rG0 X1\rM30\r%\r");
    EXPECT_EQ(
        QDir(servidor.carpeta()).entryList(QDir::Files | QDir::Hidden), QStringList {"O1000"});

    // What cannot be sent is said before anything moves.
    EXPECT_FALSE(envio.inicia(m, QString(), v1, true));
    EXPECT_TRUE(resultado(terminado).error.contains("O-number"));
    m.modo = QStringLiteral("Iso");
    Maquina iso = m;
    iso.rechazos = {{"Fresadora", "Modo", "Iso"}};
    EXPECT_FALSE(envio.inicia(iso, n, v1, true));
    EXPECT_TRUE(resultado(terminado).error.contains("Modo"));
    EXPECT_FALSE(envio.inicia(maquina("/dev/ttyUSB0"), n, v1, true));
    EXPECT_EQ(resultado(terminado).estado, Estado::Fallida);
}

// A server whose copy differs by one byte: the size agrees, the
// byte-for-byte check does not, and the send is no success.
TEST(EnvioRemoto_, VerifyFailsWhenTheControlsCopyDiffers)
{
    ServidorFtp servidor(OpcionesServidorFtp {.corrompe = true});
    ASSERT_TRUE(servidor.arrancado());
    Maquina m = maquina(servidor.com());
    EnvioRemoto envio;
    envio.setOpciones(servidor.opciones());
    QSignalSpy terminado(&envio, &EnvioRemoto::terminado);
    m.verificar = false;
    ASSERT_TRUE(envio.inicia(m, "P1.NC", {"G0 X1", "M30"}, true));
    EXPECT_EQ(texto(resultado(terminado)), "0|");
    m.verificar = true;
    ASSERT_TRUE(envio.inicia(m, "P1.NC", {"G0 X1", "M30"}, true));
    EXPECT_EQ(
        texto(resultado(terminado)), "2|" + Texto(QStringLiteral("RemotaMotivoDifiere")).arg(1));

    // A Spanish window frames the reason in a Spanish sentence: the reason is Spanish too.
    const QString clave = QStringLiteral("RemotaMotivoDifiere");
    TextosIdioma.insert(clave,
        PerfilIni::lee(
            QStringLiteral(KELDAN_INI_SUMINISTRADO), QStringLiteral("Español"), clave, {}));
    ASSERT_TRUE(envio.inicia(m, "P1.NC", {"G0 X1", "M30"}, true));
    EXPECT_EQ(texto(resultado(terminado)),
        QStringLiteral("2|la copia del control difiere de lo enviado en el byte 1"));
    TextosIdioma.remove(clave);
}

// The folder port: the same rules, the file written whole before it has its name.
TEST(EnvioRemoto_, SendIntoAFolderWithLfLineEnds)
{
    QTemporaryDir dir;
    Maquina m = maquina("file://" + dir.path() + "/");
    m.formato.finBloque = FormatoLinea::FinBloque::Lf;
    EnvioRemoto envio;
    QSignalSpy terminado(&envio, &EnvioRemoto::terminado);
    QSignalSpy existe(&envio, &EnvioRemoto::existe);
    ASSERT_TRUE(envio.inicia(m, "P1.NC", {"G0 X1", "M30"}, false));
    EXPECT_EQ(texto(resultado(terminado)), "0|");
    EXPECT_EQ(leeBytes(dir.filePath("P1.NC")), "G0 X1\nM30\n");
    ASSERT_TRUE(envio.inicia(m, "p1.nc", {"G0 X2"}, false));
    ASSERT_TRUE(espera([&] { return !existe.isEmpty(); }, 20000));
    envio.detiene();
    EXPECT_EQ(resultado(terminado).estado, Estado::Detenida);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList {"P1.NC"});
}

// Receive: the control's programs newest first; one into the text window,
// several into the receive folder, never over a file there.
TEST(RecepcionRemota_, ListNewestFirstFetchOneIntoTheTextAndSeveralIntoTheFolder)
{
    ServidorFtp servidor;
    ASSERT_TRUE(servidor.arrancado());
    const QDateTime base = QDateTime::currentDateTime().addDays(-1);
    const std::pair<const char *, QByteArray> programas[]
        = {{"O0001", "%\r\nO0001\r\nM30\r\n%\r\n"}, {"O0002", "%\rO0002\rM30\r%\r"},
            {"viejo.nc", "%\nO0003\nM30\n%\n"}};
    int minutos = 10;
    for (const auto &[n, datos] : programas) {
        QFile f(servidor.carpeta() + "/" + n);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(datos);
        f.setFileTime(base.addSecs(60 * minutos), QFileDevice::FileModificationTime);
        minutos -= 5;
    }
    QTemporaryDir recibidos;
    ASSERT_TRUE(escribeBytes(recibidos.filePath("O0002.TXT"), "ya estaba\n"));

    RecepcionRemota recepcion;
    recepcion.setOpciones(servidor.opciones());
    QSignalSpy listado(&recepcion, &RecepcionRemota::listado);
    QSignalSpy programa(&recepcion, &RecepcionRemota::programa);
    QSignalSpy guardado(&recepcion, &RecepcionRemota::guardado);
    QSignalSpy terminado(&recepcion, &RecepcionRemota::terminado);
    QString error;
    ASSERT_TRUE(recepcion.prepara(maquina(servidor.com()), &error));
    recepcion.lista();
    ASSERT_TRUE(espera([&] { return !listado.isEmpty(); }, 20000));
    const auto entradas = listado.at(0).at(0).value<QList<AlmacenRemoto::Entrada>>();
    QStringList orden;
    for (const auto &e : entradas)
        orden << e.nombre + "/" + QString::number(e.tamano);
    EXPECT_EQ(orden, QStringList({"O0001/18", "O0002/14", "viejo.nc/14"}));

    recepcion.trae({"O0002"}, recibidos.path());
    EXPECT_EQ(texto(resultado(terminado)), "0|");
    ASSERT_EQ(programa.size(), 1);
    EXPECT_EQ(programa.at(0).at(0).toByteArray(), "%\nO0002\nM30\n%\n");

    recepcion.trae({"O0001", "O0002", "falta"}, recibidos.path());
    const ResultadoTransferencia r = resultado(terminado);
    EXPECT_EQ(r.estado, Estado::Fallida);
    EXPECT_TRUE(r.error.startsWith("falta: ")) << r.error.toStdString();
    EXPECT_EQ(guardado.size(), 2);
    EXPECT_EQ(QDir(recibidos.path()).entryList(QDir::Files),
        QStringList({"O0001.TXT", "O0002-2.TXT", "O0002.TXT"}));
    EXPECT_EQ(leeBytes(recibidos.filePath("O0002.TXT")), "ya estaba\n");
    // Saved as every program is saved, with CR LF.
    EXPECT_EQ(leeBytes(recibidos.filePath("O0002-2.TXT")), "%\r\nO0002\r\nM30\r\n%\r\n");
}

// Continuous receive: a program still being written is left until two looks
// find it the same; it is then taken once, whole, and nothing on the control
// is deleted. Programs there before the start are not taken.
TEST(SondeoRemoto_, AProgramBeingWrittenIsTakenOnlyOnceComplete)
{
    ServidorFtp servidor;
    ASSERT_TRUE(servidor.arrancado());
    ASSERT_TRUE(escribeBytes(servidor.carpeta() + "/O0001", "%\nO0001\nM30\n%\n"));
    QTemporaryDir recibidos;
    SondeoRemoto sondeo;
    sondeo.setOpciones(servidor.opciones());
    sondeo.setIntervaloMs(20);
    QSignalSpy guardado(&sondeo, &SondeoRemoto::guardado);
    QSignalSpy fallo(&sondeo, &SondeoRemoto::fallo);
    int looks = 0;
    // The control writes one more block on every look, then stops: each look
    // sees it changed, as a slow writer would be seen.
    QFile escrito(servidor.carpeta() + "/O0002");
    ASSERT_TRUE(escrito.open(QIODevice::WriteOnly));
    escrito.write("%\r\nO0002\r\n");
    escrito.flush();
    const auto escritor = QObject::connect(&sondeo, &SondeoRemoto::mirado, [&] {
        ++looks;
        if (looks <= 6) {
            escrito.write("G1 X" + QByteArray::number(looks) + "\r\n");
            escrito.flush();
        } else if (looks == 7) {
            escrito.write("M30\r\n%\r\n");
            escrito.close();
        }
    });
    ASSERT_TRUE(sondeo.inicia(maquina(servidor.com()), recibidos.path()));
    ASSERT_TRUE(espera([&] { return looks >= 12; }, 30000));
    sondeo.detiene();
    EXPECT_TRUE(fallo.isEmpty());
    ASSERT_EQ(guardado.size(), 1);
    EXPECT_EQ(guardado.at(0).at(1).toString(), "O0002");
    EXPECT_EQ(leeBytes(guardado.at(0).at(0).toString()),
        "%\r\nO0002\r\nG1 X1\r\nG1 X2\r\nG1 X3\r\nG1 X4\r\nG1 X5\r\nG1 X6\r\nM30\r\n%\r\n");
    EXPECT_EQ(QDir(servidor.carpeta()).entryList(QDir::Files), QStringList({"O0001", "O0002"}));

    // The control away: said once, the looks go on.
    QObject::disconnect(escritor);
    QObject::connect(&sondeo, &SondeoRemoto::mirado, [&] { ++looks; });
    servidor.para();
    looks = 0;
    ASSERT_TRUE(sondeo.inicia(maquina(servidor.com()), recibidos.path()));
    ASSERT_TRUE(espera([&] { return looks >= 3; }, 30000));
    sondeo.detiene();
    ASSERT_EQ(fallo.size(), 1);
    EXPECT_TRUE(fallo.at(0).at(0).toString().isEmpty());
    EXPECT_FALSE(fallo.at(0).at(1).toString().isEmpty());
}

// The port check off the caller's thread: each step in words; a wrong
// password stops it at the login with the server's reply.
TEST(ComprobacionRemota_, StepsInWordsAndAWrongPasswordStopsAtTheLogin)
{
    ServidorFtp servidor;
    ASSERT_TRUE(servidor.arrancado());
    ComprobacionRemota c;
    QSignalSpy terminada(&c, &ComprobacionRemota::terminada);
    c.inicia(servidor.direccion(), servidor.opciones(true));
    ASSERT_TRUE(espera([&] { return !terminada.isEmpty(); }, 20000));
    QStringList pasos;
    for (const auto &p : c.pasos())
        pasos << p.paso + (p.ok ? "+" : "-");
    EXPECT_EQ(pasos, QStringList({"login+", "list+", "write+", "delete+"}));
    EXPECT_TRUE(QDir(servidor.carpeta()).entryList(QDir::Files | QDir::Hidden).isEmpty());

    servidor.escribeNetrc(QStringLiteral("mala"));
    c.inicia(servidor.direccion(), servidor.opciones());
    ASSERT_TRUE(espera([&] { return terminada.size() == 2; }, 20000));
    ASSERT_EQ(c.pasos().size(), 1);
    EXPECT_FALSE(c.pasos()[0].ok);
    EXPECT_TRUE(c.pasos()[0].texto.contains("530")) << c.pasos()[0].texto.toStdString();
}

} // namespace
