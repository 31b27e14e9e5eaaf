#pragma once

#include <QString>

namespace corvat {

// The text as one word for a POSIX shell, quoted only where needed: every command Corvat suggests is
// built with this, so that it pastes as it reads whatever a path or name contains.
QString ShellQuoted(const QString& text);

}  // namespace corvat
