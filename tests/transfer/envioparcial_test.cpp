#include "transfer/envioparcial.h"

#include <gtest/gtest.h>

namespace {

// The lines that go out, the lines left out after "-", and the window line
// the progress marks for each line sent.
std::string salida(const EnvioParcial::Seleccion &s)
{
    QByteArray r = s.lineas.join('|') + " -" + QByteArray::number(s.saltadas()) + " @";
    for (qint64 n = 1; n <= s.lineas.size(); ++n)
        r += ' ' + QByteArray::number(s.lineaVentana(n));
    return r.toStdString();
}

TEST(EnvioParcial, TheHeaderGoesFirstThenTheChosenLineToTheEnd)
{
    const QList<QByteArray> prog = {"%", "O1234", "N10 G00", "N20 G01", "N30 M30", "%"};
    const std::tuple<QList<QByteArray>, qsizetype, std::string> casos[] = {
        {prog, 3, "%|O1234|N20 G01|N30 M30|% -1 @ 0 1 3 4 5"},
        {{"%", "N10", "N20", "M30"}, 3, "%|M30 -2 @ 0 3"},
        {{":1", "N10", "N20"}, 2, ":1|N20 -1 @ 0 2"},
        // A program number further down is not the header.
        {{"G90", "O1", "N20"}, 2, "N20 -2 @ 2"},
        // The first line, or one within the header: the whole program.
        {prog, 0, "%|O1234|N10 G00|N20 G01|N30 M30|% -0 @ 0 1 2 3 4 5"},
        {prog, 1, "%|O1234|N10 G00|N20 G01|N30 M30|% -0 @ 0 1 2 3 4 5"},
    };
    for (const auto &[lineas, desde, esperado] : casos)
        EXPECT_EQ(salida(EnvioParcial::desde(lineas, desde)), esperado) << desde;
}

// A start block goes between the header and the chosen line; while it goes
// the mark stays on the header, and the window's lines follow as before. A
// second block replaces the first; none leaves the send as it was.
TEST(EnvioParcial, AStartBlockGoesAfterTheHeaderAndMarksNoLineOfItsOwn)
{
    const QList<QByteArray> prog = {"%", "O1234", "N10 G00", "N20 G01", "N30 M30", "%"};
    EnvioParcial::Seleccion s = EnvioParcial::desde(prog, 3);
    s.anadeInicio({"T1 M6", "G54"});
    EXPECT_EQ(salida(s), "%|O1234|T1 M6|G54|N20 G01|N30 M30|% -1 @ 0 1 1 1 3 4 5");
    s.anadeInicio({"G17"});
    EXPECT_EQ(salida(s), "%|O1234|G17|N20 G01|N30 M30|% -1 @ 0 1 1 3 4 5");
    s.anadeInicio({});
    EXPECT_EQ(salida(s), salida(EnvioParcial::desde(prog, 3)));
    // Without a header the block's lines mark nothing.
    EnvioParcial::Seleccion sin = EnvioParcial::desde({"G90", "N20", "M30"}, 1);
    sin.anadeInicio({"G54"});
    EXPECT_EQ(salida(sin), "G54|N20|M30 -1 @ -1 1 2");
}

TEST(EnvioParcial, ABlockNumberIsAWholeWordAndAPlainNumberALine)
{
    const QList<QByteArray> prog
        = {"%", "O1200", "N120 G00 X0", "N1200G01X5", "  N 12000 X1", "/N0300 M0", "n400 M30"};
    const std::pair<const char *, qsizetype> casos[]
        = {{"N1200", 3}, {" n 1200 ", 3}, {"N12000", 4}, {"N300", 5}, {"N400", 6}, {"N12", -1},
            {"N", -1}, {"X5", -1}, {"3", 2}, {"7", 6}, {"8", -1}, {"0", -1}, {"", -1}};
    for (const auto &[entrada, linea] : casos)
        EXPECT_EQ(EnvioParcial::buscaLinea(prog, QString::fromLatin1(entrada)), linea) << entrada;
}

} // namespace
