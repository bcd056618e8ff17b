#pragma once
// Before a new version of a file replaces the old one, it is given the old
// one's owner and group, as far as this process may give them.
class QFileDevice;
class QString;

void KeepOwner(QFileDevice& replacement, const QString& existing);
