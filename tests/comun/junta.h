#pragma once

#include <QStringList>
#include <QVariant>

#include <type_traits>

// Values joined with '|', to compare a whole state in one assertion; texts
// of any kind (literals too) are taken as they are.
template<typename... T> QString junta(const T &...valores)
{
    return QStringList {
        QVariant::fromValue(
            std::conditional_t<std::is_convertible_v<const T &, QString>, QString, T>(valores))
            .toString()...}
        .join(u'|');
}
