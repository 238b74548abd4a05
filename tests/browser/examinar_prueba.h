#pragma once

#include "browser/frmexaminar.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <functional>

// Operates the file browser when it comes up: hands each showing of the modal
// dialog to the next action, in order; showings beyond them, and any the
// action leaves up, are cancelled. Stops with its scope.
class OperadorExaminar
{
public:
    using Accion = std::function<void(frmExaminar *)>;

    explicit OperadorExaminar(QList<Accion> acciones) : m_acciones(std::move(acciones))
    {
        QObject::connect(&m_reloj, &QTimer::timeout, [this] {
            auto *dialogo = qobject_cast<frmExaminar *>(QApplication::activeModalWidget());
            if (!dialogo || dialogo == m_ultimo)
                return;
            m_ultimo = dialogo;
            ++m_vistas;
            if (!m_acciones.isEmpty())
                m_acciones.takeFirst()(dialogo);
            if (dialogo->isVisible())
                dialogo->reject();
        });
        m_reloj.start(5);
    }

    int vistas() const { return m_vistas; } // how many times the browser was shown

private:
    QList<Accion> m_acciones;
    QTimer m_reloj;
    int m_vistas = 0;
    QPointer<frmExaminar> m_ultimo;
};

// Selects the file of that name in the file list.
inline bool EligeFichero(frmExaminar *d, const QString &nombre)
{
    const auto encontrados = d->File1->findItems(nombre, Qt::MatchExactly);
    for (QListWidgetItem *item : encontrados)
        d->File1->setCurrentItem(item);
    return !encontrados.isEmpty();
}

// Accepts with the file of that name selected.
inline OperadorExaminar::Accion AbreFichero(const QString &nombre)
{
    return [nombre](frmExaminar *d) {
        if (EligeFichero(d, nombre) && d->cmdAceptar->isEnabled())
            d->cmdAceptar->click();
    };
}
