#pragma once

#include <QWidget>

class QLabel;
class QTimer;
class frmPrincipal;

// The first window: the program's name and version while the operator
// waits; after the delay it hands over to the main window.
class frmSplash : public QWidget
{
    Q_OBJECT

public:
    explicit frmSplash(QWidget *parent = nullptr);
    ~frmSplash() override;

    QLabel *lblProductName = nullptr;
    QLabel *lblVersion = nullptr;
    QTimer *Timer1 = nullptr;
    // The program file the main window opens at once (keldan FILE).
    QString FicheroInicial;

    void Form_Load();
    void Timer1_Timer();

    // The main window once the timer has opened it.
    frmPrincipal *principal() const { return m_principal; }

    // "V. " and the version's three parts.
    static QString TextoVersion(int mayor, int menor, int revision);

protected:
    // A click or a key hands over at once: the wait is no obstacle.
    void mousePressEvent(QMouseEvent *evento) override;
    void keyPressEvent(QKeyEvent *evento) override;
    void showEvent(QShowEvent *evento) override;

private:
    frmPrincipal *m_principal = nullptr;
};
