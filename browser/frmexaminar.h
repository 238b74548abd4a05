#pragma once

#include "browser/logicaexaminar.h"

#include <QDialog>
#include <QString>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class TextoPrograma;

// The dialog in which the operator picks drive, directory and file name for
// opening a program (ModoAbrir true) or saving the text window (false). Its
// result is NombreFichero, set on Aceptar only; the directory is remembered
// as DirGuarda for the next showing.
class frmExaminar : public QDialog
{
    Q_OBJECT

public:
    // texto: the text window, whose second and third lines give the proposed
    // name when saving.
    explicit frmExaminar(const TextoPrograma *texto, QWidget *parent = nullptr);

    // Loads the dialog and shows it modally; true when a file was accepted.
    bool Muestra();

    QLabel *lblTituloArbol = nullptr;
    QListWidget *Dir1 = nullptr;
    QLabel *lblTituloUnidad = nullptr;
    QComboBox *Drive1 = nullptr;
    QLabel *lblTituloDirectorio = nullptr;
    QListWidget *File1 = nullptr;
    QLabel *lblTituloTipoFichero = nullptr;
    QComboBox *cmbTipo = nullptr;
    QLabel *lblTituloFichero = nullptr;
    QLineEdit *txtDirPlano = nullptr;
    QLineEdit *txtPlano = nullptr;
    QPushButton *cmdAceptar = nullptr;
    QPushButton *cmdCancelar = nullptr;

    void Form_Load();
    void Drive1_Change();
    void Dir1_Change();
    void File1_Click();
    void cmbTipo_Click();
    void cmbTipo_Change();
    void txtDirPlano_Change();
    void txtPlano_Change();
    void cmdAceptar_Click();
    void cmdCancelar_Click();
    void CargaTextos();
    void ActivaAceptar();
    bool GrabaDirectorio();

    // The drive list's drive (a volume root), the directory list's path and
    // the file list's pattern, as the lists hold them.
    QString Drive() const { return m_drive; }
    QString Path() const { return m_path; }
    QString Pattern() const { return m_patron; }

    // Setting them as the lists do: a change refills the list and runs its
    // change handler. They tell why a drive or directory cannot be entered.
    LogicaExaminar::Fallo EstableceDrive(const QString &raiz);
    LogicaExaminar::Fallo EstablecePath(const QString &ruta);
    void EstablecePattern(const QString &patron);

private:
    void creaControles();
    void llenaDir1();
    void llenaFile1();
    void mensaje(const QString &texto);
    // Load steps 3 and 4 fail into one handling: message, then the root.
    void falloCarga(LogicaExaminar::Fallo fallo);
    void Dir1_Activado(const QString &ruta);

    const TextoPrograma *m_texto;
    QString m_drive;
    QString m_path;
    QString m_patron;
};
