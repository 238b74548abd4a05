#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class frmConfig;

// The translation editor: writes the texts of a language one key at a time,
// straight into the settings file. The configuration dialog opens it to add a
// language (its ModoAlta true) or to modify the one its language list shows.
class frmConfigTraduc : public QDialog
{
    Q_OBJECT

public:
    explicit frmConfigTraduc(frmConfig &config, QWidget *parent = nullptr);
    ~frmConfigTraduc() override;

    QLabel *lblNuevoIdioma = nullptr;
    QLineEdit *txtNuevoIdioma = nullptr;
    QLabel *lblVars = nullptr;
    QListWidget *lstVars = nullptr;
    QLabel *lblTituloValorActual = nullptr;
    QPlainTextEdit *txtValorActual = nullptr;
    QLabel *lblTituloValorNuevo = nullptr;
    QPlainTextEdit *txtValorNuevo = nullptr;
    QPushButton *cmdAceptar = nullptr;
    QPushButton *cmdCancelar = nullptr;
    QPushButton *cmdGrabar = nullptr;

    // The keys saved since the editor was loaded, each once, in the order
    // of their first save.
    QStringList VarsGrabadas;

    void Form_Load();
    void CargaTextos();
    void CargaVariables();
    void lstVars_Click();
    void txtNuevoIdioma_Change();
    void txtValorNuevo_Change();
    void txtNuevoIdioma_LostFocus();
    void cmdGrabar_Click();
    void cmdAceptar_Click();
    void cmdCancelar_Click();
    void ActivaGrabar();
    void ActivaAceptar();
    bool EstaGrabada(const QString &clave) const;

protected:
    bool eventFilter(QObject *objeto, QEvent *evento) override;
    void keyPressEvent(QKeyEvent *evento) override;

private:
    void creaControles();
    // Whether adding a language under this name would write into, or on
    // Cancelar delete, a section this editor did not create.
    bool NombreOcupado(const QString &nombre, const QString &ruta) const;
    bool EsPropia(const QString &nombre) const;
    void RechazaNombre();

    frmConfig &m_config;
    // Sections this editor created in add mode: only these are its own to
    // write on and to take back.
    QStringList m_propias;
    bool m_ajustando = false;
};
