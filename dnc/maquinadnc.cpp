#include "dnc/maquinadnc.h"

#include "base/perfilini.h"
#include "settings/varsfuncsglobales.h"
#include "text/ficheroprograma.h"

#include <QDir>
#include <QFileInfo>

using VarsFuncsGlobales::Texto;

namespace {

bool esSi(const QString &valor)
{
    const QString v = valor.trimmed();
    for (const char *si : {"Si", "Sí", "Yes", "1", "True"}) {
        if (v.compare(QString::fromUtf8(si), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

QString MaquinaDnc::textoResultado(ResultadoTransferencia::Estado e)
{
    switch (e) {
    case ResultadoTransferencia::Estado::Completa:
        return QStringLiteral("complete");
    case ResultadoTransferencia::Estado::Detenida:
        return QStringLiteral("stopped");
    case ResultadoTransferencia::Estado::Fallida:
        return QStringLiteral("failed");
    case ResultadoTransferencia::Estado::SinFin:
        return QStringLiteral("incomplete");
    }
    return {};
}

QList<ConfigMaquinaDnc> ConfigMaquinaDnc::lee(
    const QString &rutaIni, bool todas, QStringList *avisos)
{
    const QString rutaMaquinas = Maquinas::rutaMaquinas(rutaIni);
    // Never the root of the disk: the save folder, else the user's documents.
    const QString dirGuarda = VarsFuncsGlobales::CarpetaRecepcionPorDefecto(rutaIni);
    QList<ConfigMaquinaDnc> lista;
    for (const QString &nombre : Maquinas::lista(rutaIni)) {
        auto clave = [&](const char *k, const QString &def = {}) {
            return PerfilIni::lee(rutaMaquinas, nombre, QString::fromLatin1(k), def);
        };
        if (!todas && !esSi(clave("Servicio")))
            continue;
        AvisosIni avisosIni;
        ConfigMaquinaDnc c;
        c.maquina = Maquina::lee(rutaMaquinas, nombre, &avisosIni);
        if (avisos) {
            for (const AvisoIni &a : std::as_const(avisosIni))
                avisos->append(QStringLiteral("%1: %2=%3 cannot be used; its default is taken")
                                   .arg(nombre, a.clave, a.valor));
        }
        c.carpeta = c.maquina.dirRecepcion.isEmpty() ? dirGuarda : c.maquina.dirRecepcion;
        c.peticion = QRegularExpression(clave("Peticion", kPeticionPorDefecto).trimmed(),
            QRegularExpression::CaseInsensitiveOption);
        if (!c.peticion.isValid() || c.peticion.captureCount() < 1) {
            if (avisos)
                avisos->append(
                    QStringLiteral("%1: Peticion=%2 is no regular expression with a capture "
                                   "group; the default is taken")
                        .arg(nombre, c.peticion.pattern()));
            c.peticion = QRegularExpression(
                kPeticionPorDefecto, QRegularExpression::CaseInsensitiveOption);
        }
        c.respuesta = clave("Respuesta").trimmed();
        // It decides when a send is cut: a value that cannot be read is no
        // reason to cut sooner or later than the operator meant.
        const QString retencion = clave("RetencionMax").trimmed();
        bool numero = retencion.isEmpty();
        if (!retencion.isEmpty())
            c.retencionMaxS = retencion.toInt(&numero);
        if (!numero || c.retencionMaxS < 0) {
            if (avisos)
                avisos->append(QStringLiteral("%1: RetencionMax=%2 is no number of seconds; the "
                                              "machine is left out")
                                   .arg(nombre, retencion));
            continue;
        }
        lista.append(c);
    }
    return lista;
}

QString ConfigMaquinaDnc::rechazo() const
{
    QStringList claves;
    for (const AvisoIni &r : maquina.rechazos)
        claves.append(QStringLiteral("%1=\"%2\"").arg(r.clave, r.valor));
    return claves.isEmpty() ? QString() : claves.join(QStringLiteral(", ")) + " cannot be used";
}

QString ConfigMaquinaDnc::puertoEscrito() const
{
    for (const AvisoIni &r : maquina.rechazos) {
        if (r.clave == QLatin1String("Com"))
            return r.valor;
    }
    return maquina.com;
}

MaquinaDnc::MaquinaDnc(const ConfigMaquinaDnc &config, const QString &rutaRegistro, QObject *parent)
    : QObject(parent), m_config(config), m_registro(rutaRegistro)
{
    const Maquina &m = m_config.maquina;
    const QString com = m.com.trimmed();
    bool numero = false;
    const int n = com.toInt(&numero);
    if (numero)
        m_puerto.setCommPort(n);
    else
        m_puerto.setDispositivo(com);
    m_puerto.setSettings(QStringLiteral("%1,%2,%3,%4")
                             .arg(m.velocidad)
                             .arg(m.paridad)
                             .arg(m.bitsDatos)
                             .arg(VarsFuncsGlobales::TextoBitsStop(m.bitsStop)));
    m_puerto.setHandshaking(MSComm::negociacionDeTexto(m.nego));
    m_puerto.setXonXoffEnPuerto(m.xonXoffEnPuerto);
    m_remota = m.esRemota();
    if (m_remota)
        conectaRemota();

    m_reintento.setSingleShot(true);
    m_reintento.setInterval(kReintentoMs);
    connect(&m_reintento, &QTimer::timeout, this, &MaquinaDnc::reintenta);
    m_retencion.setSingleShot(true);
    connect(&m_retencion, &QTimer::timeout, this, [this] {
        m_envio.abandona(Texto(QStringLiteral("DncRetencionMax")).arg(m_config.retencionMaxS));
    });
    m_plazoParada.setSingleShot(true);
    connect(&m_plazoParada, &QTimer::timeout, this, &MaquinaDnc::abandonaEnvio);
    connect(&m_puerto, &MSComm::conectado, this, [this] {
        if (m_continua.activo())
            alConectar();
    });

    m_continua.setFiltro([this](QByteArrayView texto) { return filtra(texto); });
    connect(&m_continua, &RecepcionContinua::respuestaServidor, this, [this](const QString &t) {
        if (std::exchange(m_respuestaServidor, t) != t)
            emit mensaje(QStringLiteral("%1: the server answered: %2").arg(nombre(), t));
    });
    connect(&m_continua, &RecepcionContinua::programaNuevo, this, [this] {
        m_estado = Estado::Recibiendo;
        m_entrada = empieza(EntradaRegistro::Sentido::Recepcion);
    });
    connect(&m_continua, &RecepcionContinua::guardado, this,
        [this](const QString &ruta, qint64 lineas, qint64 bytes,
            const ResultadoTransferencia &programa) {
            m_entrada.fichero = ruta;
            m_entrada.lineas = lineas;
            m_entrada.bytes = bytes;
            anota(m_entrada, programa, m_reloj.elapsed());
            emit mensaje(QStringLiteral("%1: received %2 (%3 lines, %4)")
                             .arg(nombre(), ruta)
                             .arg(lineas)
                             .arg(textoResultado(programa.estado)));
            if (m_estado == Estado::Recibiendo)
                m_estado = Estado::Escuchando;
            // A send waiting for this program to end goes now, outside the reception's call.
            if (!m_cola.isEmpty())
                QTimer::singleShot(0, this, &MaquinaDnc::siguienteEnvio);
        });
    connect(&m_continua, &RecepcionContinua::errorGuardado, this,
        [this](const QString &carpeta, const QString &motivo, qint64 lineas, qint64 bytes) {
            m_entrada.lineas = lineas;
            m_entrada.bytes = bytes;
            ResultadoTransferencia r;
            r.estado = ResultadoTransferencia::Estado::Fallida;
            r.error = Texto(QStringLiteral("ContinuaErrorGuardar")).arg(carpeta, motivo);
            anota(m_entrada, r, m_reloj.elapsed());
            emit mensaje(nombre() + QStringLiteral(": ") + r.error);
        });
    connect(&m_continua, &RecepcionContinua::terminado, this, &MaquinaDnc::alTerminarContinua);
    connect(&m_envio, &Envio::progreso, this, [this](const ProgresoTransferencia &p) {
        m_entrada.lineas = p.linea;
        m_entrada.bytes = p.bytes;
    });
    connect(&m_envio, &Envio::pausaCnc, this, [this](bool detenido) {
        if (detenido)
            ++m_entrada.pausas;
        // A CNC in alarm holds the line for good: the send must not wait with it.
        if (!detenido)
            m_retencion.stop();
        else if (m_config.retencionMaxS > 0)
            m_retencion.start(m_config.retencionMaxS * 1000);
    });
    connect(&m_envio, &Envio::terminado, this, &MaquinaDnc::alTerminarEnvio);
}

void MaquinaDnc::conectaRemota()
{
    connect(&m_sondeo, &SondeoRemoto::guardado, this,
        [this](
            const QString &ruta, const QString &programa, qint64 lineas, qint64 bytes, qint64 ms) {
            EntradaRegistro e = empieza(EntradaRegistro::Sentido::Recepcion, ruta);
            e.lineas = lineas;
            e.bytes = bytes;
            anota(e, {}, ms);
            emit mensaje(QStringLiteral("%1: received %2 as %3 (%4 lines, complete)")
                             .arg(nombre(), programa, ruta)
                             .arg(lineas));
        });
    connect(&m_sondeo, &SondeoRemoto::fallo, this, &MaquinaDnc::alFallarRemota);
    connect(&m_sondeo, &SondeoRemoto::mirado, this, [this] {
        if (m_estado != Estado::Fallo)
            m_ultimaMirada = QDateTime::currentDateTime();
    });
    connect(&m_sondeo, &SondeoRemoto::recuperado, this, [this] {
        m_estado = Estado::Escuchando;
        alConectar();
    });
    connect(&m_sondeo, &SondeoRemoto::terminado, this, [this](const ResultadoTransferencia &r) {
        // Never from inside detiene(): the service may be going through its machines.
        if (m_parando) {
            if (!m_envioRemoto.activo())
                QTimer::singleShot(0, this, &MaquinaDnc::acaba);
            return;
        }
        // Could not even start (a folder that is no absolute path): tried again later.
        if (r.estado == ResultadoTransferencia::Estado::Fallida)
            alFallarRemota({}, r.error);
    });
    connect(&m_envioRemoto, &EnvioRemoto::existe, this, [this](const QString &programa) {
        (void)programa;
        m_envioRemoto.continua(m_enCurso.reemplazar);
    });
    connect(&m_envioRemoto, &EnvioRemoto::progreso, this,
        [this](const ProgresoTransferencia &p) { m_entrada.bytes = p.bytes; });
    connect(&m_envioRemoto, &EnvioRemoto::terminado, this, &MaquinaDnc::alTerminarEnvioRemoto);
}

void MaquinaDnc::alFallarRemota(const QString &programa, const QString &motivo)
{
    if (!programa.isEmpty()) {
        // One program could not be fetched or saved: logged as a failed receive.
        EntradaRegistro e = empieza(EntradaRegistro::Sentido::Recepcion, programa);
        ResultadoTransferencia r;
        r.estado = ResultadoTransferencia::Estado::Fallida;
        r.error = motivo;
        anota(e, r, 0);
        emit mensaje(QStringLiteral("%1: %2 not received: %3").arg(nombre(), programa, motivo));
        return;
    }
    // The server away: told once (and once an hour while it lasts); the
    // looks go on and find it again.
    const bool repetido = motivo == m_motivoFallo && m_avisoFallo.isValid();
    if (!repetido || m_avisoFallo.hasExpired(kRecordatorioFalloMs)) {
        emit mensaje(
            QStringLiteral("%1: %2; %3looked at again every %4 s")
                .arg(nombre(), motivo, repetido ? QStringLiteral("still failing, ") : QString())
                .arg(m_config.maquina.sondeoS));
        m_avisoFallo.start();
    }
    m_estado = Estado::Fallo;
    m_motivoFallo = motivo;
    if (!m_sondeo.activo() && !m_parando)
        m_reintento.start();
}

QString MaquinaDnc::puerto() const
{
    if (m_remota) {
        const auto d = DireccionRemota::interpreta(m_config.maquina.com);
        return d ? d->texto() : m_config.maquina.com;
    }
    return m_puerto.Dispositivo();
}

bool MaquinaDnc::iso() const
{
    return m_config.maquina.modo.compare(QLatin1String("Iso"), Qt::CaseInsensitive) == 0;
}

EntradaRegistro MaquinaDnc::empieza(EntradaRegistro::Sentido sentido, const QString &fichero)
{
    EntradaRegistro e;
    e.inicio = QDateTime::currentDateTime();
    e.sentido = sentido;
    e.maquina = nombre();
    e.puerto = puerto();
    e.fichero = fichero;
    m_reloj.start();
    return e;
}

void MaquinaDnc::anota(EntradaRegistro &e, const ResultadoTransferencia &r, qint64 ms)
{
    e.duracionMs = ms;
    e.resultado = r.estado;
    e.motivo = r.error;
    e.ilegibles = r.ilegibles;
    m_ultima = e;
    QString error;
    if (!m_registro.anade(e, &error))
        emit mensaje(Texto(QStringLiteral("RegistroErrorEscritura")).arg(m_registro.ruta(), error));
}

void MaquinaDnc::arranca()
{
    m_servida = true;
    if (m_remota) {
        // The looks go on beside the sends: the server takes both.
        if (m_parando || m_sondeo.activo())
            return;
        m_estado = Estado::Escuchando;
        m_sondeo.inicia(m_config.maquina, m_config.carpeta);
        return;
    }
    if (m_parando || m_continua.activo() || m_envio.activo())
        return;
    while (!m_sinGuardar.isEmpty()) {
        // What could not be saved before is saved first, before more comes.
        const RecepcionContinua::SinGuardar &p = m_sinGuardar.first();
        QString error;
        const QString ruta
            = RecepcionContinua::guarda(m_config.carpeta, p.texto, p.incompleto, &error);
        if (ruta.isEmpty()) {
            m_puerto.setPortOpen(false);
            m_estado = Estado::Fallo;
            m_motivoFallo = Texto(QStringLiteral("ContinuaErrorGuardar"))
                                .arg(QDir::toNativeSeparators(m_config.carpeta), error);
            m_reintento.start();
            return;
        }
        emit mensaje(QStringLiteral("%1: saved %2 now").arg(nombre(), ruta));
        m_sinGuardar.removeFirst();
    }
    m_estado = Estado::Escuchando;
    // A network port is only being connected when this returns: it is open
    // again once conectado() says so.
    if (m_continua.inicia(m_config.carpeta, iso(), m_config.maquina.formato) && m_puerto.enLinea())
        alConectar();
}

void MaquinaDnc::alConectar()
{
    if (!std::exchange(m_motivoFallo, {}).isEmpty())
        emit mensaje(nombre() + QStringLiteral(": port open again"));
    m_avisoFallo.invalidate();
}

void MaquinaDnc::alTerminarContinua(const ResultadoTransferencia &r)
{
    m_sinGuardar += m_continua.sinGuardar();
    if (std::exchange(m_cedida, false)) {
        lanzaEnvio();
        return;
    }
    if (m_parando) {
        acaba();
        return;
    }
    // The port failed or the folder took nothing: told once, tried again later.
    const QString motivo = r.error.isEmpty() && !m_sinGuardar.isEmpty()
        ? QStringLiteral("the received program could not be saved")
        : r.error;
    // The same failure again is told once an hour, not at every retry.
    const bool repetido = motivo == m_motivoFallo && m_avisoFallo.isValid();
    if (!repetido || m_avisoFallo.hasExpired(kRecordatorioFalloMs)) {
        emit mensaje(
            QStringLiteral("%1: %2; %3retried every %4 s")
                .arg(nombre(), motivo, repetido ? QStringLiteral("still failing, ") : QString())
                .arg(kReintentoMs / 1000));
        m_avisoFallo.start();
    }
    m_estado = Estado::Fallo;
    m_motivoFallo = motivo;
    m_reintento.start();
}

void MaquinaDnc::reintenta()
{
    if (m_parando || m_envio.activo() || m_continua.activo() || m_sondeo.activo())
        return;
    arranca();
}

bool MaquinaDnc::filtra(QByteArrayView texto)
{
    // The one line that is neither blank nor "%", looked for without
    // splitting a long program into lines.
    QByteArray linea;
    for (qsizetype desde = 0; desde < texto.size();) {
        const qsizetype lf = texto.indexOf('\n', desde);
        const QByteArrayView l = texto.sliced(desde, lf - desde).trimmed();
        desde = lf + 1;
        if (l.isEmpty() || l == "%")
            continue;
        if (!linea.isNull())
            return false;
        linea = l.toByteArray();
    }
    if (linea.isNull())
        return false;
    const QRegularExpressionMatch m = m_config.peticion.match(QString::fromLatin1(linea));
    if (!m.hasMatch())
        return false;
    // The request is no program: it is answered, not saved.
    m_estado = Estado::Escuchando;
    const QString pedido = m.captured(1);
    const QString fichero = buscaPrograma(m_config.carpeta, pedido);
    if (!fichero.isEmpty()) {
        emit mensaje(
            QStringLiteral("%1: request for %2 answered with %3").arg(nombre(), pedido, fichero));
        envia(fichero);
        return true;
    }
    // Logged as a send that found nothing to send.
    EntradaRegistro e = empieza(EntradaRegistro::Sentido::Envio, pedido);
    ResultadoTransferencia r;
    r.estado = ResultadoTransferencia::Estado::Fallida;
    r.error = Texto(QStringLiteral("DncPeticionDesconocida"))
                  .arg(pedido, QDir::toNativeSeparators(m_config.carpeta));
    anota(e, r, 0);
    emit mensaje(nombre() + QStringLiteral(": ") + r.error);
    const QString respuesta = m_config.respuesta.isEmpty()
        ? QString()
        : buscaPrograma(m_config.carpeta, m_config.respuesta);
    if (!respuesta.isEmpty())
        envia(respuesta);
    return true;
}

QString MaquinaDnc::buscaPrograma(const QString &carpeta, const QString &nombre)
{
    // The name comes from the CNC: never a path, never a hidden file.
    if (nombre.isEmpty() || nombre.contains(QLatin1Char('/'))
        || nombre.startsWith(QLatin1Char('.')))
        return {};
    const QDir dir(carpeta);
    const QStringList ficheros = dir.entryList(QDir::Files | QDir::Readable);
    for (const QString &candidato :
        {nombre, nombre + QStringLiteral(".NC"), nombre + QStringLiteral(".TXT")}) {
        for (const QString &f : ficheros) {
            if (f.compare(candidato, Qt::CaseInsensitive) == 0)
                return dir.absoluteFilePath(f);
        }
    }
    return {};
}

void MaquinaDnc::envia(const QString &fichero, Aviso hecho, bool reemplazar)
{
    if (m_parando) {
        ResultadoTransferencia r;
        r.estado = ResultadoTransferencia::Estado::Fallida;
        r.error = m_motivoParada;
        if (hecho)
            hecho(r);
        return;
    }
    m_cola.append({fichero, std::move(hecho), 0, reemplazar});
    QTimer::singleShot(0, this, &MaquinaDnc::siguienteEnvio);
}

void MaquinaDnc::siguienteEnvio()
{
    if (m_remota) {
        if (!m_cola.isEmpty() && !m_envioRemoto.activo())
            lanzaEnvio();
        return;
    }
    // One thing at a time on the line: a program on its way in ends first.
    if (m_cola.isEmpty() || m_envio.activo() || m_cedida || m_estado == Estado::Recibiendo)
        return;
    if (m_continua.activo()) {
        m_cedida = true;
        m_continua.detiene();
        return;
    }
    lanzaEnvio();
}

void MaquinaDnc::lanzaEnvio()
{
    if (m_envio.activo() || m_continua.activo() || m_envioRemoto.activo())
        return;
    if (m_cola.isEmpty()) {
        if (m_parando) {
            acaba();
        } else if (m_servida)
            arranca();
        return;
    }
    m_reintento.stop();
    m_enCurso = m_cola.takeFirst();
    m_entrada = empieza(EntradaRegistro::Sentido::Envio, m_enCurso.fichero);
    QList<QByteArray> lineas;
    QString error;
    if (!FicheroPrograma::lee(m_enCurso.fichero, lineas, &error)) {
        ResultadoTransferencia r;
        r.estado = ResultadoTransferencia::Estado::Fallida;
        r.error = Texto(QStringLiteral("PrinErrorAbre"))
                      .arg(QDir::toNativeSeparators(m_enCurso.fichero), error);
        m_remota ? alTerminarEnvioRemoto(r) : alTerminarEnvio(r);
        return;
    }
    if (FicheroPrograma::sinPrograma(lineas)) {
        ResultadoTransferencia r;
        r.estado = ResultadoTransferencia::Estado::Fallida;
        r.error = Texto(QStringLiteral("DncSinPrograma"))
                      .arg(QDir::toNativeSeparators(m_enCurso.fichero));
        m_remota ? alTerminarEnvioRemoto(r) : alTerminarEnvio(r);
        return;
    }
    if (m_remota) {
        lanzaEnvioRemoto(lineas);
        return;
    }
    m_estado = Estado::Enviando;
    // The link stays for the reception that follows, unless none does.
    m_envio.setMantienePuerto(m_servida);
    // A port that cannot be opened ends the send inside this call.
    m_envio.inicia(lineas, iso(), m_config.maquina.formato);
}

void MaquinaDnc::alTerminarEnvio(const ResultadoTransferencia &r)
{
    const bool sinAbrir = r.estado == ResultadoTransferencia::Estado::Fallida
        && m_estado == Estado::Enviando && m_entrada.bytes == 0 && !m_puerto.PortOpen();
    if (sinAbrir && !m_parando && ++m_enCurso.intentos < kIntentosEnvio) {
        m_cola.prepend(std::exchange(m_enCurso, {}));
        m_estado = Estado::Inactiva;
        QTimer::singleShot(kPausaEnvioMs, this, &MaquinaDnc::lanzaEnvio);
        return;
    }
    m_retencion.stop();
    m_plazoParada.stop();
    anota(m_entrada, r, m_reloj.elapsed());
    emit mensaje(QStringLiteral("%1: sent %2 (%3)%4")
                     .arg(nombre(), m_enCurso.fichero, textoResultado(r.estado),
                         r.error.isEmpty() ? QString() : QStringLiteral(": ") + r.error));
    const Pendiente hecho = std::exchange(m_enCurso, {});
    m_estado = Estado::Inactiva;
    if (hecho.hecho)
        hecho.hecho(r);
    if (m_parando) {
        m_puerto.setPortOpen(false);
        acaba();
        return;
    }
    if (m_puerto.PortOpen()) {
        // Receiving again at once on the link the send kept: what the CNC
        // punches right after is a program like any other. A send still
        // waiting takes the port from it as from any reception.
        arranca();
        if (!m_cola.isEmpty())
            QTimer::singleShot(0, this, &MaquinaDnc::siguienteEnvio);
        return;
    }
    // The next send, or back to listening, from the event loop.
    QTimer::singleShot(0, this, &MaquinaDnc::lanzaEnvio);
}

void MaquinaDnc::lanzaEnvioRemoto(const QList<QByteArray> &lineas)
{
    QByteArray texto;
    for (qsizetype i = 0; i < lineas.size() && i < 50; ++i)
        texto += lineas.at(i) + '\n';
    const QString programa
        = EnvioRemoto::nombrePrograma(m_enCurso.fichero, texto, m_config.maquina.nombreO);
    m_estado = Estado::Enviando;
    m_entrada.lineas = lineas.size();
    // A failure to start ends the send inside this call.
    m_envioRemoto.inicia(m_config.maquina, programa, lineas, m_enCurso.reemplazar);
}

void MaquinaDnc::alTerminarEnvioRemoto(const ResultadoTransferencia &r)
{
    m_plazoParada.stop();
    ResultadoTransferencia dicho = r;
    if (r.estado == ResultadoTransferencia::Estado::Detenida && !m_enCurso.reemplazar
        && r.error.startsWith(QLatin1String("not sent: the control already has")))
        dicho.error += QStringLiteral(" (keldan-dnc send MACHINE FILE --replace replaces it)");
    // The control holds all of it or none of it.
    const bool completa = dicho.estado == ResultadoTransferencia::Estado::Completa;
    m_entrada.bytes = completa ? m_envioRemoto.bytes() : 0;
    if (completa)
        m_sondeo.enviado(m_envioRemoto.nombre(), m_envioRemoto.bytes());
    if (!completa)
        m_entrada.lineas = 0;
    anota(m_entrada, dicho, m_reloj.elapsed());
    emit mensaje(QStringLiteral("%1: sent %2 (%3)%4")
                     .arg(nombre(), m_enCurso.fichero, textoResultado(dicho.estado),
                         dicho.error.isEmpty() ? QString() : QStringLiteral(": ") + dicho.error));
    const Pendiente hecho = std::exchange(m_enCurso, {});
    m_estado = m_sondeo.activo() ? Estado::Escuchando : Estado::Inactiva;
    if (hecho.hecho)
        hecho.hecho(dicho);
    if (m_parando) {
        if (!m_sondeo.activo())
            QTimer::singleShot(0, this, &MaquinaDnc::acaba);
        return;
    }
    QTimer::singleShot(0, this, &MaquinaDnc::lanzaEnvio);
}

bool MaquinaDnc::detieneEnvio()
{
    if (!enviando())
        return false;
    emit mensaje(nombre() + QStringLiteral(": send stopped on command"));
    if (m_remota)
        m_envioRemoto.detiene();
    else
        m_envio.detiene();
    return true;
}

void MaquinaDnc::abandonaEnvio()
{
    // An upload cut leaves nothing under the program's name.
    if (m_remota)
        m_envioRemoto.detiene();
    else
        m_envio.abandona(Texto(QStringLiteral("DncParadaServicio")));
}

void MaquinaDnc::detiene(qint64 plazoMaxMs, const QString &motivo)
{
    if (m_parando)
        return;
    m_parando = true;
    m_motivoParada = motivo;
    m_reintento.stop();
    const QList<Pendiente> cola = std::exchange(m_cola, {});
    for (const Pendiente &p : cola) {
        ResultadoTransferencia r;
        r.estado = ResultadoTransferencia::Estado::Fallida;
        r.error = motivo;
        if (p.hecho)
            p.hecho(r);
    }
    if (m_remota) {
        m_sondeo.detiene();
        if (m_envioRemoto.activo())
            m_plazoParada.start(int(qBound<qint64>(0, plazoMaxMs, qint64(3600) * 1000)));
        else
            QTimer::singleShot(0, this, &MaquinaDnc::acaba);
        return;
    }
    if (m_envio.activo()) {
        // "%" and the end after a cut line would make a truncated program
        // look whole on the control: the send ends as it would, or visibly cut.
        if (m_envio.esperandoDc1())
            abandonaEnvio();
        else
            m_plazoParada.start(int(qBound<qint64>(
                0, m_envio.msRestantes() + Envio::kMargenMs, qMax<qint64>(plazoMaxMs, 0))));
    } else if (m_continua.activo())
        m_continua.detiene();
    else {
        QTimer::singleShot(0, this, &MaquinaDnc::acaba);
    }
}

void MaquinaDnc::acaba()
{
    // Once: a send that was waiting to be tried again may end here too.
    if (std::exchange(m_estado, Estado::Terminada) != Estado::Terminada)
        emit terminada();
}

QString MaquinaDnc::textoEstado() const
{
    switch (m_estado) {
    case Estado::Inactiva:
        return QStringLiteral("idle");
    case Estado::Escuchando:
        if (m_remota && m_ultimaMirada.isValid())
            return QStringLiteral("listening, last look %1")
                .arg(m_ultimaMirada.toString(QStringLiteral("HH:mm:ss")));
        return QStringLiteral("listening");
    case Estado::Recibiendo:
        return QStringLiteral("receiving");
    case Estado::Enviando:
        return QStringLiteral("sending ") + QFileInfo(m_enCurso.fichero).fileName();
    case Estado::Fallo:
        if (m_remota)
            return QStringLiteral("server failed (%1), looked at again every %2 s")
                .arg(m_motivoFallo)
                .arg(m_config.maquina.sondeoS);
        return QStringLiteral("port failed (%1), retried every %2 s")
            .arg(m_motivoFallo)
            .arg(kReintentoMs / 1000);
    case Estado::Terminada:
        return QStringLiteral("stopped");
    }
    return {};
}
