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
        {{"%", "N10", "N20", "M30"}, 2, "%|N20|M30 -1 @ 0 2 3"},
        {{":0100", "N10", "N20"}, 2, ":0100|N20 -1 @ 0 2"},
        // A program number further down is not the header.
        {{"G90", "O1", "N20"}, 2, "N20 -2 @ 2"},
        // The first line, or one within the header: the whole program.
        {prog, 0, "%|O1234|N10 G00|N20 G01|N30 M30|% -0 @ 0 1 2 3 4 5"},
        {prog, 1, "%|O1234|N10 G00|N20 G01|N30 M30|% -0 @ 0 1 2 3 4 5"},
    };
    for (const auto &[lineas, desde, esperado] : casos)
        EXPECT_EQ(salida(EnvioParcial::desde(lineas, desde)), esperado) << desde;
}

TEST(EnvioParcial, ABlockNumberIsAWholeWordAndAPlainNumberALine)
{
    const QList<QByteArray> prog
        = {"%", "O1200", "N120 G00 X0", "N1200G01X5", "  N 12000 X1", "/N0300 M0", "n400 M30"};
    const std::pair<const char *, qsizetype> casos[]
        = {{"N1200", 3}, {" n 1200 ", 3}, {"N12000", 4}, {"N300", 5}, {"N400", 6}, {"N12", -1},
            {"N", -1}, {"X5", -1}, {"3", 2}, {"8", -1}, {"0", -1}, {"", -1}};
    for (const auto &[entrada, linea] : casos)
        EXPECT_EQ(EnvioParcial::buscaLinea(prog, QString::fromLatin1(entrada)), linea) << entrada;
}

} // namespace
