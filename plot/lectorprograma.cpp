#include "plot/lectorprograma.h"

#include <QLocale>

#include <algorithm>

#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace Trazado {

namespace {

constexpr double kPulgada = 25.4;
// Larger coordinates are no machine's: a typing error, not a place.
constexpr double kMaxCoordenada = 1e6;
// Words after the first this many G or M codes of a block are not kept.
constexpr int kMaxCodigos = 12;

int letra(char c)
{
    return c >= 'A' && c <= 'Z' ? c - 'A' : (c >= 'a' && c <= 'z' ? c - 'a' : -1);
}

bool esBlanco(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A block's words. G and M codes are kept as ten times their number, so
// that G90.1 is 901 and G54.1 is 541.
struct Bloque
{
    std::uint32_t letras = 0;
    double valor[26];
    int g[kMaxCodigos];
    int ng = 0;
    int m[kMaxCodigos];
    int nm = 0;
    bool macro = false;
    bool saltado = false;
    // Words that cannot be read, as written.
    QStringList malas;

    bool tiene(char l) const { return letras & (1u << (l - 'A')); }
    double v(char l) const { return valor[l - 'A']; }
};

// A number as the word-address dialect writes it: a sign, digits and at
// most one decimal point, blanks allowed between. nullopt when it is not
// one. `entero` says it had no decimal point.
std::optional<double> numero(const char *&p, const char *fin, bool *entero = nullptr)
{
    while (p < fin && (*p == ' ' || *p == '\t'))
        ++p;
    bool negativo = false;
    if (p < fin && (*p == '+' || *p == '-'))
        negativo = *p++ == '-';
    std::uint64_t mantisa = 0;
    int digitos = 0, decimales = 0;
    bool punto = false;
    for (; p < fin; ++p) {
        const char c = *p;
        if (c >= '0' && c <= '9') {
            // Beyond 17 significant digits no value a control takes.
            if (++digitos > 17)
                return std::nullopt;
            mantisa = mantisa * 10 + std::uint64_t(c - '0');
            decimales += punto;
        } else if (c == '.' && !punto) {
            punto = true;
        } else if (c != ' ' && c != '\t') {
            break;
        }
    }
    if (digitos == 0)
        return std::nullopt;
    static constexpr double kPotencias[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10,
        1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17};
    if (entero)
        *entero = !punto;
    const double v = double(mantisa) / kPotencias[decimales];
    return negativo ? -v : v;
}

// A tool, offset or count number as an int, whatever the word held.
int entero(double v)
{
    return std::isnan(v) ? 0 : int(std::clamp(v, -1e9, 1e9));
}

// A code as ten times its number: one decimal digit at most.
std::optional<int> codigo(double v, bool entero)
{
    const double diez = v * 10;
    if (v < 0 || v > 9999 || (!entero && std::abs(diez - std::round(diez)) > 1e-9))
        return std::nullopt;
    return int(std::lround(diez));
}

QString textoCodigo(char letra, int codigo)
{
    return QLatin1Char(letra) + QString::number(codigo / 10)
        + (codigo % 10 ? QLatin1Char('.') + QString::number(codigo % 10) : QString());
}

void analiza(const QByteArray &linea, bool saltaBloques, Bloque &b)
{
    const char *p = linea.constData();
    const char *const fin = p + linea.size();
    while (p < fin && esBlanco(*p))
        ++p;
    if (p < fin && *p == '/') {
        if (saltaBloques) {
            b.saltado = true;
            return;
        }
        // "/2": the skip switch of that number.
        for (++p; p < fin && *p >= '0' && *p <= '9';)
            ++p;
    }
    while (p < fin) {
        const char c = *p;
        if (esBlanco(c)) {
            ++p;
        } else if (c == '(') {
            while (p < fin && *p != ')')
                ++p;
            p += p < fin;
        } else if (c == ';') {
            return;
        } else if (c == '#' || c == '[' || c == '=') {
            b.macro = true;
            return;
        } else if (const int l = letra(c); l >= 0) {
            const char *inicio = p++;
            bool entero = false;
            const std::optional<double> v = numero(p, fin, &entero);
            const char mayuscula = char('A' + l);
            const auto mala
                = [&] { b.malas.append(QString::fromLatin1(inicio, p - inicio).simplified()); };
            if (!v) {
                mala();
                continue;
            }
            if (mayuscula == 'G' || mayuscula == 'M') {
                const std::optional<int> k = codigo(*v, entero);
                int &n = mayuscula == 'G' ? b.ng : b.nm;
                if (!k || n == kMaxCodigos) {
                    mala();
                    continue;
                }
                (mayuscula == 'G' ? b.g : b.m)[n++] = *k;
            } else if (mayuscula == 'N' || mayuscula == 'O') {
                // Block and program numbers place nothing.
            } else if (b.letras & (1u << l)) {
                // A letter given twice: which one the control takes is its own.
                mala();
            } else {
                b.letras |= 1u << l;
                b.valor[l] = *v;
            }
        } else {
            // What is no word, up to the next word: "X1.2.3" shows ".3".
            const char *inicio = p++;
            while (p < fin && letra(*p) < 0 && !esBlanco(*p) && *p != '(' && *p != ';')
                ++p;
            b.malas.append(QString::fromLatin1(inicio, p - inicio));
        }
    }
}

// The first non-blank character of a line, or 0.
char primero(const QByteArray &linea)
{
    for (char c : linea)
        if (!esBlanco(c))
            return c;
    return 0;
}

// The number of a program number line ("O1000", ":1000"); -1 for others.
long numeroPrograma(const QByteArray &linea)
{
    const char *p = linea.constData();
    const char *const fin = p + linea.size();
    while (p < fin && esBlanco(*p))
        ++p;
    if (p == fin || (*p != 'O' && *p != 'o' && *p != ':'))
        return -1;
    ++p;
    long n = 0;
    int digitos = 0;
    for (; p < fin && *p >= '0' && *p <= '9' && digitos < 9; ++p, ++digitos)
        n = n * 10 + (*p - '0');
    return digitos ? n : -1;
}

class Lector
{
public:
    Lector(const QList<QByteArray> &lineas, const Opciones &opciones, qsizetype parada)
        : m_lineas(lineas), m_op(opciones), m_parada(parada)
    { }

    void ejecuta();

    Lectura m_r;
    Estado m_e;
    std::optional<Estado> m_estadoParada;

private:
    struct Llamada
    {
        qsizetype retorno;
        qsizetype cuerpo;
        long programa;
        int repeticiones;
    };

    void hallazgo(Hallazgo::Tipo tipo, QStringList datos = {});
    void bloque(const Bloque &b);
    void emite(Tipo tipo, const Punto &fin, Plano plano = Plano::XY, std::uint32_t arco = 0,
        int vueltas = 0);
    // A move the control makes (a line, a hole's part): drawn, timed, checked.
    void recta(Tipo tipo, const Punto &fin);
    void arco(bool antihorario, const Punto &fin, const Bloque &b);
    void agujero(double x, double y);
    void tiempoAvance(double longitud);
    // Extends the extents (unless extension is false) and reports an axis
    // beyond its travel; an axis not known (NaN) is skipped.
    void compruebaLimites(const Punto &minimo, const Punto &maximo, bool extension = true);
    Punto objetivo(const Bloque &b) const;
    double unidad() const { return m_e.pulgadas ? kPulgada : 1.0; }
    void llama(const Bloque &b);
    void indexaProgramas();
    void usaOrigen();

    const QList<QByteArray> &m_lineas;
    const Opciones m_op;
    const qsizetype m_parada;
    qsizetype m_linea = 0;
    qsizetype m_siguiente = 0;
    bool m_fin = false;
    std::uint64_t m_bloques = 0;
    std::vector<Llamada> m_pila;
    std::unordered_map<long, qsizetype> m_programas;
    bool m_indexado = false;
    std::unordered_set<std::uint64_t> m_hallados;
    // The rotary axes already told of (bit 0 A, 1 B, 2 C): each once.
    unsigned m_rotativos = 0;
    bool m_origenFijado[3] = {false, false, false};
    std::uint8_t m_marcas = 0;
};

void Lector::hallazgo(Hallazgo::Tipo tipo, QStringList datos)
{
    // A subprogram run a hundred times says what is wrong with it once.
    if (!m_hallados.insert((std::uint64_t(m_linea) << 8) | tipo).second)
        return;
    if (m_r.hallazgos.size() == kMaxHallazgos) {
        m_r.hallazgos.append(
            {std::uint32_t(m_linea), Hallazgo::Demasiados, {QString::number(kMaxHallazgos)}});
        return;
    }
    if (m_r.hallazgos.size() > kMaxHallazgos)
        return;
    m_r.hallazgos.append({std::uint32_t(m_linea), tipo, std::move(datos)});
}

void Lector::indexaProgramas()
{
    m_indexado = true;
    for (qsizetype i = 0; i < m_lineas.size(); ++i) {
        const long n = numeroPrograma(m_lineas.at(i));
        if (n >= 0)
            m_programas.emplace(n, i);
    }
}

void Lector::ejecuta()
{
    const qsizetype n = m_lineas.size();
    m_r.trayectoria.primerMovimiento.assign(std::size_t(n), Trayectoria::kNunca);
    // About a move a line: a million-line program grows without copying.
    m_r.trayectoria.movimientos.reserve(std::size_t(n + n / 4));
    qsizetype i = 0;
    // The header: blank lines, the "%" line and the main program's number.
    while (i < n && primero(m_lineas.at(i)) == 0)
        ++i;
    if (i < n && primero(m_lineas.at(i)) == '%')
        ++i;
    if (i < n && numeroPrograma(m_lineas.at(i)) >= 0)
        ++i;
    Bloque b;
    while (!m_fin) {
        if (i >= n || primero(m_lineas.at(i)) == '%' || numeroPrograma(m_lineas.at(i)) >= 0) {
            // The main program ends at its end mark, or where the next
            // program of the file begins; a subprogram must return first.
            if (!m_pila.empty()) {
                m_linea = m_pila.back().cuerpo - 1;
                hallazgo(Hallazgo::SinM99, {QString::number(m_pila.back().programa)});
            }
            break;
        }
        if (i == m_parada) {
            m_estadoParada = m_e;
            break;
        }
        if (++m_bloques > kMaxBloques) {
            m_linea = i;
            hallazgo(
                Hallazgo::Tamano, {QString::number(kMaxMovimientos), QString::number(kMaxBloques)});
            break;
        }
        m_linea = i;
        m_siguiente = i + 1;
        auto &primer = m_r.trayectoria.primerMovimiento[std::size_t(i)];
        if (primer == Trayectoria::kNunca)
            primer = std::uint32_t(m_r.trayectoria.movimientos.size());
        b.letras = 0;
        b.ng = b.nm = 0;
        b.macro = b.saltado = false;
        b.malas.clear();
        analiza(m_lineas.at(i), m_op.saltaBloques, b);
        if (!b.saltado)
            bloque(b);
        i = m_siguiente;
    }
    m_r.segundos *= m_op.maquina.factorTiempo;
    m_r.trayectoria.movimientos.shrink_to_fit();
    m_r.trayectoria.centros.shrink_to_fit();
    m_r.trayectoria.construyeIndice();
    m_r.trayectoria.construyeDetalle();
}

void Lector::usaOrigen()
{
    const QString nombre = m_e.origen == 541 ? QStringLiteral("G54.1 P%1").arg(m_e.origenP)
                                             : QStringLiteral("G%1").arg(m_e.origen);
    if (!m_r.origenes.contains(nombre))
        m_r.origenes.append(nombre);
}

Punto Lector::objetivo(const Bloque &b) const
{
    Punto p = m_e.posicion;
    for (int k = 0; k < 3; ++k) {
        const char l = char('X' + k);
        if (b.tiene(l))
            p[k] = (m_e.incremental ? p[k] : 0) + b.v(l) * unidad();
    }
    return p;
}

void Lector::emite(Tipo tipo, const Punto &fin, Plano plano, std::uint32_t arco, int vueltas)
{
    Trayectoria &t = m_r.trayectoria;
    if (t.movimientos.size() >= kMaxMovimientos) {
        hallazgo(
            Hallazgo::Tamano, {QString::number(kMaxMovimientos), QString::number(kMaxBloques)});
        m_fin = true;
        return;
    }
    Movimiento m;
    for (int k = 0; k < 3; ++k) {
        // Each axis is relative to the first place it had: floats keep the
        // micrometre near it, however far the part is from its zero.
        if (!m_origenFijado[k] && !std::isnan(fin[k])) {
            m_origenFijado[k] = true;
            t.origen[k] = fin[k];
        }
        m.fin[k] = float(fin[k] - t.origen[k]);
    }
    m.linea = std::uint32_t(m_linea);
    m.tipo = tipo;
    m.plano = plano;
    m.marcas = std::uint8_t(m_marcas | (m_e.compensacion != 40 ? kCompensacion : 0));
    m.vueltas = std::uint8_t(vueltas);
    m.arco = arco;
    t.movimientos.push_back(m);
    m_e.posicion = fin;
    if (!std::isnan(fin[2]) && !(fin[2] <= m_e.zMaxima))
        m_e.zMaxima = fin[2];
}

void Lector::compruebaLimites(const Punto &minimo, const Punto &maximo, bool extension)
{
    for (int k = 0; k < 3; ++k) {
        if (std::isnan(minimo[k]))
            continue;
        if (extension && (std::isnan(m_r.minimo[k]) || minimo[k] < m_r.minimo[k]))
            m_r.minimo[k] = minimo[k];
        if (extension && (std::isnan(m_r.maximo[k]) || maximo[k] > m_r.maximo[k]))
            m_r.maximo[k] = maximo[k];
        const auto &l = m_op.maquina.limites[k];
        if (!l)
            continue;
        const double fuera = minimo[k] < l->minimo ? minimo[k]
            : maximo[k] > l->maximo                ? maximo[k]
                                                   : kDesconocido;
        if (!std::isnan(fuera))
            hallazgo(Hallazgo::FueraLimites,
                {QString(QLatin1Char(char('X' + k))), textoMm(fuera), textoMm(l->minimo),
                    textoMm(l->maximo)});
    }
}

void Lector::tiempoAvance(double longitud)
{
    if (m_e.avance <= 0) {
        hallazgo(Hallazgo::SinAvance);
        return;
    }
    double mmMinuto = m_e.avance;
    if (m_e.porVuelta) {
        if (m_e.velocidad <= 0) {
            hallazgo(Hallazgo::AvanceVuelta);
            return;
        }
        mmMinuto *= m_e.velocidad;
    }
    m_r.segundos += longitud / mmMinuto * 60;
}

void Lector::recta(Tipo tipo, const Punto &fin)
{
    const Punto inicio = m_e.posicion;
    if (tipo == Tipo::Avance && m_e.avance <= 0)
        hallazgo(Hallazgo::SinAvance);
    emite(tipo, fin);
    if (!conocido(inicio) || !conocido(fin)) {
        // An axis known at the end is checked against its travel all the
        // same: the move that leaves it is the one to name, not a later one.
        Punto minimo, maximo;
        for (int k = 0; k < 3; ++k) {
            const bool ambos = !std::isnan(inicio[k]);
            minimo[k] = ambos ? std::min(inicio[k], fin[k]) : fin[k];
            maximo[k] = ambos ? std::max(inicio[k], fin[k]) : fin[k];
        }
        compruebaLimites(minimo, maximo, false);
        return;
    }
    Punto minimo, maximo;
    for (int k = 0; k < 3; ++k) {
        minimo[k] = std::min(inicio[k], fin[k]);
        maximo[k] = std::max(inicio[k], fin[k]);
    }
    compruebaLimites(minimo, maximo);
    const double l = std::hypot(fin[0] - inicio[0], fin[1] - inicio[1], fin[2] - inicio[2]);
    if (tipo == Tipo::Rapido)
        m_r.segundos += l / m_op.maquina.rapido * 60;
    else if (m_e.avance > 0)
        tiempoAvance(l);
}

void Lector::arco(bool antihorario, const Punto &fin, const Bloque &b)
{
    const Plano plano = m_e.plano == 18 ? Plano::ZX : m_e.plano == 19 ? Plano::YZ : Plano::XY;
    const auto [a, bb, n] = ejesPlano(plano);
    const Punto inicio = m_e.posicion;
    if (m_e.avance <= 0)
        hallazgo(Hallazgo::SinAvance);
    const char letrasCentro[3] = {'I', 'J', 'K'};
    const bool conCentro = b.tiene(letrasCentro[a]) || b.tiene(letrasCentro[bb]);
    if (!b.tiene('R') && !conCentro) {
        hallazgo(Hallazgo::ArcoSinCentro);
        emite(Tipo::Salto, fin);
        return;
    }
    if (!conocido(inicio) || !conocido(fin)) {
        emite(Tipo::Salto, fin);
        return;
    }
    int vueltas = 0;
    if (b.tiene('P')) {
        const double p = b.v('P');
        if (p < 1 || p > 256 || p != std::floor(p))
            hallazgo(Hallazgo::Palabra, {QStringLiteral("P%1").arg(p)});
        else
            vueltas = int(p) - 1;
    }
    std::array<double, 2> centro;
    const double u = unidad();
    if (b.tiene('R')) {
        const double r = b.v('R') * u;
        const double da = fin[a] - inicio[a], db = fin[bb] - inicio[bb];
        const double cuerda = std::hypot(da, db);
        if (cuerda < GeometriaArco::kCerrado) {
            hallazgo(Hallazgo::ArcoCirculoR);
            emite(Tipo::Salto, fin);
            return;
        }
        const double h2 = r * r - cuerda * cuerda / 4;
        if (h2 < 0 && cuerda / 2 - std::abs(r) > kToleranciaArco) {
            hallazgo(Hallazgo::ArcoRadio, {textoMm(std::abs(r)), textoMm(cuerda / 2)});
            emite(Tipo::Salto, fin);
            return;
        }
        // Right of the chord for a clockwise arc of less than half a turn;
        // a negative R takes the longer way round, on the other side.
        const double h = std::sqrt(std::max(h2, 0.0)) * ((r < 0) != antihorario ? -1 : 1);
        centro = {(inicio[a] + fin[a]) / 2 + h * db / cuerda,
            (inicio[bb] + fin[bb]) / 2 - h * da / cuerda};
    } else {
        const double ci = b.tiene(letrasCentro[a]) ? b.v(letrasCentro[a]) * u : 0;
        const double cj = b.tiene(letrasCentro[bb]) ? b.v(letrasCentro[bb]) * u : 0;
        centro = m_e.centroAbsoluto ? std::array {ci, cj}
                                    : std::array {inicio[a] + ci, inicio[bb] + cj};
    }
    const GeometriaArco g
        = GeometriaArco::calcula(inicio, fin, centro, plano, antihorario, vueltas);
    if (g.radio0 < 1e-9 || g.radio1 < 1e-9) {
        hallazgo(Hallazgo::ArcoNulo);
        emite(Tipo::Salto, fin);
        return;
    }
    if (std::abs(g.radio1 - g.radio0) > kToleranciaArco)
        hallazgo(Hallazgo::ArcoFuera, {textoMm(std::abs(g.radio1 - g.radio0))});
    Trayectoria &t = m_r.trayectoria;
    const std::uint32_t indice = std::uint32_t(t.centros.size());
    // The plane's axes were placed with the start point, so the origin is set.
    t.centros.push_back({centro[0] - t.origen[a], centro[1] - t.origen[bb]});
    emite(antihorario ? Tipo::Antihorario : Tipo::Horario, fin, plano, indice, vueltas);
    Punto minimo, maximo;
    for (int k = 0; k < 3; ++k) {
        minimo[k] = std::min(inicio[k], fin[k]);
        maximo[k] = std::max(inicio[k], fin[k]);
    }
    g.extremos(minimo, maximo);
    compruebaLimites(minimo, maximo);
    if (m_e.avance > 0)
        tiempoAvance(g.longitud());
}

void Lector::agujero(double x, double y)
{
    const int c = m_e.ciclo;
    if (std::isnan(m_e.cicloZ)) {
        hallazgo(Hallazgo::CicloSinProfundidad);
        recta(Tipo::Rapido, {x, y, m_e.posicion[2]});
        return;
    }
    m_marcas = kCiclo;
    const double r = std::isnan(m_e.cicloR) ? m_e.nivelInicial : m_e.cicloR;
    const double inicial = m_e.nivelInicial;
    recta(Tipo::Rapido, {x, y, m_e.posicion[2]});
    if (m_e.posicion[2] != r)
        recta(Tipo::Rapido, {x, y, r});
    recta(Tipo::Avance, {x, y, m_e.cicloZ});
    if (c == 82 || c == 88 || c == 89)
        m_r.segundos += m_e.cicloP;
    // Deep holes in pecks of Q: each peck back out to R and down again.
    if (c == 83 && m_e.cicloQ > 0) {
        const double hondo = std::abs(r - m_e.cicloZ);
        const int picadas = entero(std::ceil(hondo / m_e.cicloQ - 1e-9));
        for (int k = 1; k < picadas && k < 100000; ++k)
            m_r.segundos += 2 * k * m_e.cicloQ / m_op.maquina.rapido * 60;
    }
    const double salida = c == 87 || m_e.retornoInicial ? inicial : r;
    if (c == 74 || c == 84 || c == 85 || c == 89) {
        recta(Tipo::Avance, {x, y, r});
        if (salida != r)
            recta(Tipo::Rapido, {x, y, salida});
    } else {
        recta(Tipo::Rapido, {x, y, salida});
    }
    m_marcas = 0;
}

void Lector::llama(const Bloque &b)
{
    if (!b.tiene('P')) {
        hallazgo(Hallazgo::Palabra, {QStringLiteral("M98")});
        return;
    }
    if (!m_indexado)
        indexaProgramas();
    long programa = long(b.v('P'));
    double repeticiones = b.tiene('L') ? b.v('L') : 1;
    // "P30010": three runs of O0010, when the file has no O30010.
    if (!m_programas.contains(programa) && programa > 9999 && m_programas.contains(programa % 10000)
        && !b.tiene('L')) {
        repeticiones = double(programa / 10000);
        programa %= 10000;
    }
    const auto donde = m_programas.find(programa);
    if (donde == m_programas.end()) {
        hallazgo(Hallazgo::SinSubprograma, {QString::number(programa)});
        return;
    }
    if (repeticiones > kMaxRepeticiones) {
        hallazgo(Hallazgo::Repeticiones,
            {QString::number(repeticiones), QString::number(kMaxRepeticiones)});
        repeticiones = kMaxRepeticiones;
    }
    if (repeticiones < 1)
        return;
    if (int(m_pila.size()) >= kMaxAnidamiento) {
        hallazgo(Hallazgo::Anidamiento, {QString::number(kMaxAnidamiento)});
        m_fin = true;
        return;
    }
    m_pila.push_back({m_linea + 1, donde->second + 1, programa, int(repeticiones)});
    m_siguiente = donde->second + 1;
}

void Lector::bloque(const Bloque &b)
{
    if (b.macro) {
        hallazgo(Hallazgo::Macro);
        return;
    }
    for (const QString &mala : b.malas)
        hallazgo(Hallazgo::Palabra, {mala});
    int grupo1 = -1;
    bool dwell = false, g10 = false, g28 = false, g53 = false, g92 = false;
    for (int k = 0; k < b.ng; ++k) {
        const int g = b.g[k];
        switch (g) {
        case 0:
        case 10:
        case 20:
        case 30:
            grupo1 = g / 10;
            break;
        case 730:
        case 740:
        case 760:
        case 800:
        case 810:
        case 820:
        case 830:
        case 840:
        case 850:
        case 860:
        case 870:
        case 880:
        case 890:
            grupo1 = g / 10;
            break;
        case 40:
            dwell = true;
            break;
        case 100:
            g10 = true;
            break;
        case 170:
        case 180:
        case 190:
            m_e.plano = g / 10;
            m_e.dado |= Estado::kPlano;
            break;
        case 200:
        case 210:
            m_e.pulgadas = g == 200;
            m_e.dado |= Estado::kUnidades;
            break;
        case 280:
        case 300:
            g28 = true;
            break;
        case 400:
        case 410:
        case 420:
            m_e.compensacion = g / 10;
            if (g != 400)
                hallazgo(Hallazgo::Compensacion, {textoCodigo('G', g)});
            break;
        case 430:
        case 440:
        case 490:
            m_e.longitud = g / 10;
            break;
        case 530:
            g53 = true;
            break;
        case 540:
        case 550:
        case 560:
        case 570:
        case 580:
        case 590:
        case 541:
            m_e.origen = g == 541 ? 541 : g / 10;
            m_e.origenP = g == 541 && b.tiene('P') ? entero(b.v('P')) : 0;
            usaOrigen();
            break;
        case 900:
        case 910:
            m_e.incremental = g == 910;
            m_e.dado |= Estado::kDistancia;
            break;
        case 901:
        case 911:
            m_e.centroAbsoluto = g == 901;
            break;
        case 920:
            g92 = true;
            break;
        case 940:
        case 950:
            m_e.porVuelta = g == 950;
            m_e.dado |= Estado::kModoAvance;
            break;
        case 980:
        case 990:
            m_e.retornoInicial = g == 980;
            m_e.dado |= Estado::kRetorno;
            break;
        // Exact stop, AI contour, path modes and the cancels of modes the
        // reader does not draw: nothing to place.
        case 90:
        case 51:
        case 110:
        case 150:
        case 500:
        case 501:
        case 610:
        case 640:
        case 690:
            break;
        default:
            hallazgo(Hallazgo::CodigoG, {textoCodigo('G', g)});
        }
    }
    const double u = unidad();
    // A feed, speed or dwell below zero is no value a control takes.
    for (const char l : {'F', 'S', 'P'})
        if (b.tiene(l) && b.v(l) < 0)
            hallazgo(Hallazgo::Palabra, {QLatin1Char(l) + QString::number(b.v(l))});
    if (b.tiene('F') && b.v('F') >= 0)
        m_e.avance = b.v('F') * u;
    if (b.tiene('S') && b.v('S') >= 0)
        m_e.velocidad = b.v('S');
    if (b.tiene('T'))
        m_e.herramienta = entero(b.v('T'));
    if (b.tiene('H') && m_e.longitud != 49)
        m_e.h = entero(b.v('H'));
    for (const char l : {'A', 'B', 'C'}) {
        const unsigned bit = 1u << (l - 'A');
        if (b.tiene(l) && !(std::exchange(m_rotativos, m_rotativos | bit) & bit))
            hallazgo(Hallazgo::Rotativo, {QString(QLatin1Char(l))});
    }
    for (const char l : {'E', 'U', 'V', 'W'})
        if (b.tiene(l))
            hallazgo(Hallazgo::Palabra, {QLatin1Char(l) + QString::number(b.v(l))});

    bool m98 = false, m99 = false, fin = false;
    for (int k = 0; k < b.nm; ++k) {
        switch (const int m = b.m[k]) {
        case 0:
        case 10:
        case 190:
            break;
        case 20:
        case 300:
            fin = true;
            break;
        case 30:
        case 40:
        case 50:
            m_e.giro = m / 10;
            break;
        case 60:
            // The tool goes where the machine changes tools: the program's
            // coordinates do not say where that is.
            m_e.herramientaHusillo = m_e.herramienta;
            emite(Tipo::Salto, {kDesconocido, kDesconocido, kDesconocido});
            break;
        case 70:
            m_e.niebla = true;
            break;
        case 80:
            m_e.taladrina = true;
            break;
        case 90:
            m_e.niebla = m_e.taladrina = false;
            break;
        case 980:
            m98 = true;
            break;
        case 990:
            m99 = true;
            break;
        default:
            hallazgo(Hallazgo::CodigoM, {textoCodigo('M', m)});
        }
    }

    const bool ejes = b.tiene('X') || b.tiene('Y') || b.tiene('Z');
    for (int k = 0; k < 3; ++k) {
        const char l = char('X' + k);
        if (b.tiene(l) && std::abs(b.v(l) * u) > kMaxCoordenada) {
            hallazgo(Hallazgo::Palabra, {QLatin1Char(l) + QString::number(b.v(l))});
            return;
        }
    }
    if (dwell) {
        // G4 P in milliseconds, or X in seconds.
        m_r.segundos += std::max(0.0, b.tiene('P') ? b.v('P') / 1000 : b.tiene('X') ? b.v('X') : 0);
    } else if (g10) {
        // Offsets written into the control: program coordinates stay.
    } else if (g92) {
        Punto p = m_e.posicion;
        for (int k = 0; k < 3; ++k)
            if (b.tiene(char('X' + k)))
                p[k] = b.v(char('X' + k)) * u;
        emite(Tipo::Salto, p);
    } else if (g53) {
        Punto p = m_e.posicion;
        for (int k = 0; k < 3; ++k)
            if (b.tiene(char('X' + k)))
                p[k] = kDesconocido;
        emite(Tipo::Salto, p);
    } else if (g28) {
        if (ejes) {
            recta(Tipo::Rapido, objetivo(b));
            Punto p = m_e.posicion;
            for (int k = 0; k < 3; ++k)
                if (b.tiene(char('X' + k)))
                    p[k] = kDesconocido;
            emite(Tipo::Referencia, p);
        }
    } else {
        if (grupo1 >= 0 && grupo1 <= 3) {
            m_e.movimiento = grupo1;
            m_e.ciclo = 80;
            m_e.dado |= Estado::kMovimiento;
        } else if (grupo1 == 80) {
            m_e.ciclo = 80;
        } else if (grupo1 > 0) {
            if (m_e.ciclo == 80) {
                // A new cycle: its levels start afresh from where the tool is.
                m_e.nivelInicial = m_e.posicion[2];
                m_e.cicloR = m_e.cicloZ = kDesconocido;
                m_e.cicloQ = m_e.cicloP = 0;
            }
            m_e.ciclo = grupo1;
        }
        if (m_e.ciclo != 80) {
            if (b.tiene('R'))
                m_e.cicloR = (m_e.incremental ? m_e.nivelInicial : 0) + b.v('R') * u;
            if (b.tiene('Z')) {
                const double base = std::isnan(m_e.cicloR) ? m_e.nivelInicial : m_e.cicloR;
                m_e.cicloZ = (m_e.incremental ? base : 0) + b.v('Z') * u;
            }
            if (b.tiene('Q'))
                m_e.cicloQ = std::abs(b.v('Q')) * u;
            if (b.tiene('P'))
                m_e.cicloP = std::max(0.0, b.v('P') / 1000);
            if (b.tiene('X') || b.tiene('Y')) {
                double veces = b.tiene('K') ? b.v('K') : b.tiene('L') ? b.v('L') : 1;
                if (veces > kMaxRepeticiones) {
                    hallazgo(Hallazgo::Repeticiones,
                        {QString::number(veces), QString::number(kMaxRepeticiones)});
                    veces = kMaxRepeticiones;
                }
                for (int k = 0; k < entero(veces) && !m_fin; ++k) {
                    double x = m_e.posicion[0], y = m_e.posicion[1];
                    if (b.tiene('X'))
                        x = (m_e.incremental ? x : 0) + b.v('X') * u;
                    if (b.tiene('Y'))
                        y = (m_e.incremental ? y : 0) + b.v('Y') * u;
                    agujero(x, y);
                }
            }
        } else if (ejes
            || (m_e.movimiento >= 2 && (b.tiene('I') || b.tiene('J') || b.tiene('K')))) {
            // "G2 I-10" alone is a full circle.
            const Punto p = objetivo(b);
            if (m_e.movimiento <= 1)
                recta(m_e.movimiento == 0 ? Tipo::Rapido : Tipo::Avance, p);
            else
                arco(m_e.movimiento == 3, p, b);
        }
    }

    if (m98)
        llama(b);
    if (m99) {
        if (m_pila.empty()) {
            hallazgo(Hallazgo::M99Principal);
            m_fin = true;
        } else if (--m_pila.back().repeticiones > 0) {
            m_siguiente = m_pila.back().cuerpo;
        } else {
            m_siguiente = m_pila.back().retorno;
            m_pila.pop_back();
        }
    }
    if (fin)
        m_fin = true;
}

} // namespace

QString Hallazgo::clave() const
{
    static const char *const kClaves[] = {"HallazgoCodigoG", "HallazgoCodigoM", "HallazgoPalabra",
        "HallazgoMacro", "HallazgoArcoFuera", "HallazgoArcoRadio", "HallazgoArcoSinCentro",
        "HallazgoArcoCirculoR", "HallazgoArcoNulo", "HallazgoSinAvance", "HallazgoAvanceVuelta",
        "HallazgoCicloSinProfundidad", "HallazgoFueraLimites", "HallazgoCompensacion",
        "HallazgoRotativo", "HallazgoSinSubprograma", "HallazgoSinM99", "HallazgoM99Principal",
        "HallazgoAnidamiento", "HallazgoTamano", "HallazgoRepeticiones", "HallazgoDemasiados"};
    static_assert(std::size(kClaves) == Demasiados + 1);
    return QLatin1String(kClaves[tipo]);
}

QString Hallazgo::texto(const QString &plantilla) const
{
    // At once, so that a "%1" inside a word is not filled in again.
    switch (datos.size()) {
    case 0:
        return plantilla;
    case 1:
        return plantilla.arg(datos[0]);
    case 2:
        return plantilla.arg(datos[0], datos[1]);
    case 3:
        return plantilla.arg(datos[0], datos[1], datos[2]);
    default:
        return plantilla.arg(datos[0], datos[1], datos[2], datos[3]);
    }
}

Lectura lee(const QList<QByteArray> &lineas, const Opciones &opciones)
{
    Lector lector(lineas, opciones, -1);
    lector.ejecuta();
    return std::move(lector.m_r);
}

std::optional<Estado> estadoEn(
    const QList<QByteArray> &lineas, qsizetype linea, const Opciones &opciones)
{
    Lector lector(lineas, opciones, linea);
    lector.ejecuta();
    return lector.m_estadoParada;
}

QString textoTiempo(double segundos)
{
    // A program of a thousand years is still a number of hours.
    const qint64 s = qint64(std::llround(std::clamp(segundos, 0.0, 3.6e10)));
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString textoMm(double mm)
{
    // Never "-0.000".
    const double redondo = std::round(mm * 1000) / 1000;
    return QString::number(redondo == 0 ? 0.0 : redondo, 'f', 3);
}

} // namespace Trazado
