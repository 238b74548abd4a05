#pragma once

#include <QString>
#include <QStringView>

// Text that came from a CNC or a peer, made safe to print on a terminal, in
// the journal or in a window: control characters (C0, DEL, C1) and the
// marks that reorder text on screen are written as \t, \n, \r or \xNN,
// \uNNNN, so that an escape sequence cannot rewrite what the operator sees.
// Everything else, backslashes included, stays as it is.
QString TextoVisible(QStringView texto);
