#pragma once

#include <QStringList>
#include <QVariant>

// Values joined with '|', to compare a whole state in one assertion.
template<typename... T>
QString junta(const T &...valores)
{
    return QStringList {QVariant::fromValue(valores).toString()...}.join(u'|');
}
