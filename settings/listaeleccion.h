#pragma once

#include <QComboBox>

#include <functional>

// A pick list: the operator chooses one of its items and types nothing (the
// port list alone takes a typed device). Dropping it down runs the refresh
// first, so a list of devices is current.
class ListaEleccion : public QComboBox
{
public:
    explicit ListaEleccion(QWidget *parent = nullptr);
    std::function<void()> alDesplegar;
    void showPopup() override;
};
