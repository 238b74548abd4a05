#include "transfer/frmenviodesde.h"

#include "languages/catalogoclaves.h"
#include "plot/reinicio.h"
#include "settings/varsfuncsglobales.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

using VarsFuncsGlobales::Texto;

namespace {

QString boton(const char *clave)
{
    const QString texto = Texto(QLatin1String(clave));
    return texto.isEmpty() ? CatalogoClaves::textoPorDefecto(QLatin1String(clave)) : texto;
}

} // namespace

frmEnvioDesde::frmEnvioDesde(const QString &pregunta, const Trazado::BloqueReinicio &bloque,
    qsizetype linea, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(Texto(QStringLiteral("PrinTitulo")));
    auto *columna = new QVBoxLayout(this);
    lblPregunta = new QLabel(pregunta, this);
    // Program lines are shown as they are, never as markup.
    lblPregunta->setTextFormat(Qt::PlainText);
    chkInicio = new QCheckBox(Texto(QStringLiteral("ReinicioChk")), this);
    chkInicio->setObjectName(QStringLiteral("chkInicio"));
    txtInicio = new QPlainTextEdit(this);
    txtInicio->setObjectName(QStringLiteral("txtInicio"));
    txtInicio->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    txtInicio->setPlainText(QString::fromLatin1(bloque.lineas.join('\n')));
    lblNota = new QLabel(this);
    lblNota->setObjectName(QStringLiteral("lblNota"));
    lblNota->setWordWrap(true);
    QStringList notas;
    const QString numero = QString::number(linea + 1);
    if (bloque.notas & Trazado::BloqueReinicio::SinEstado) {
        notas << Texto(QStringLiteral("ReinicioSinEstado")).arg(numero);
    } else {
        notas << Texto(QStringLiteral("ReinicioNota")).arg(numero);
        if (bloque.notas & Trazado::BloqueReinicio::SinPosicion)
            notas << Texto(QStringLiteral("ReinicioSinPosicion")).arg(numero);
        if (bloque.notas & Trazado::BloqueReinicio::ConCompensacion)
            notas << Texto(QStringLiteral("ReinicioCompensacion")).arg(numero);
    }
    lblNota->setText(notas.join(QLatin1Char('\n')));
    // Without a state there is nothing to offer: the send goes as it always did.
    const bool hayBloque = !bloque.lineas.isEmpty();
    chkInicio->setChecked(hayBloque);
    chkInicio->setEnabled(hayBloque);
    txtInicio->setEnabled(hayBloque);
    connect(chkInicio, &QCheckBox::toggled, txtInicio, &QWidget::setEnabled);

    auto *botones = new QDialogButtonBox(this);
    cmdSi = botones->addButton(boton("BotonSi"), QDialogButtonBox::YesRole);
    cmdNo = botones->addButton(boton("BotonNo"), QDialogButtonBox::NoRole);
    cmdSi->setObjectName(QStringLiteral("cmdSi"));
    cmdNo->setObjectName(QStringLiteral("cmdNo"));
    cmdSi->setDefault(true);
    connect(cmdSi, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdNo, &QPushButton::clicked, this, &QDialog::reject);

    columna->addWidget(lblPregunta);
    columna->addWidget(chkInicio);
    columna->addWidget(txtInicio, 1);
    columna->addWidget(lblNota);
    columna->addWidget(botones);
    resize(520, 460);
}

void frmEnvioDesde::accept()
{
    if (chkInicio->isChecked()) {
        for (const QChar c : txtInicio->toPlainText()) {
            if (c.unicode() > 0xFF) {
                lblNota->setText(Texto(QStringLiteral("ReinicioCaracter")).arg(c));
                txtInicio->setFocus();
                return;
            }
        }
    }
    QDialog::accept();
}

QList<QByteArray> frmEnvioDesde::bloqueInicio() const
{
    QList<QByteArray> lineas;
    if (!chkInicio->isChecked())
        return lineas;
    for (const QString &l : txtInicio->toPlainText().split(QLatin1Char('\n'))) {
        const QString t = l.trimmed();
        if (!t.isEmpty())
            lineas.append(t.toLatin1());
    }
    return lineas;
}
