#pragma once

#include "browser/frmexaminar.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <functional>

// Operates the file browser when it comes up: waits for the modal dialog and
// hands it to the action, which accepts or cancels it. One action a showing,
// in order; showings beyond them are cancelled. Stops with its scope.
class OperadorExaminar
{
public:
    using Accion = std::function<void(frmExaminar *)>;

    explicit OperadorExaminar(QList<Accion> acciones) : m_acciones(std::move(acciones))
    {
        m_reloj.setInterval(5);
        QObject::connect(&m_reloj, &QTimer::timeout, [this] { mira(); });
        m_reloj.start();
    }

    // How many times the browser was shown.
    int vistas() const { return m_vistas; }

private:
    void mira()
    {
        auto *dialogo = qobject_cast<frmExaminar *>(QApplication::activeModalWidget());
        if (!dialogo || dialogo == m_ultimo)
            return;
        m_ultimo = dialogo;
        ++m_vistas;
        if (!m_acciones.isEmpty())
            m_acciones.takeFirst()(dialogo);
        // Whatever the action did, the browser must not stay up.
        if (dialogo->isVisible())
            dialogo->reject();
    }

    QList<Accion> m_acciones;
    QTimer m_reloj;
    int m_vistas = 0;
    QPointer<frmExaminar> m_ultimo;
};

// Selects the file of that name in the file list.
inline bool EligeFichero(frmExaminar *d, const QString &nombre)
{
    const auto encontrados = d->File1->findItems(nombre, Qt::MatchExactly);
    if (encontrados.isEmpty())
        return false;
    d->File1->setCurrentItem(encontrados.first());
    return true;
}

// Accepts with the file of that name selected.
inline OperadorExaminar::Accion AbreFichero(const QString &nombre)
{
    return [nombre](frmExaminar *d) {
        if (EligeFichero(d, nombre) && d->cmdAceptar->isEnabled())
            d->cmdAceptar->click();
    };
}

// Accepts with the name typed into the file field.
inline OperadorExaminar::Accion GuardaComo(const QString &nombre)
{
    return [nombre](frmExaminar *d) {
        d->txtPlano->setText(nombre);
        if (d->cmdAceptar->isEnabled())
            d->cmdAceptar->click();
    };
}

inline OperadorExaminar::Accion Cancela()
{
    return [](frmExaminar *d) { d->cmdCancelar->click(); };
}
