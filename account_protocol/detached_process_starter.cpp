#include "account_protocol/detached_process_starter.h"

#include <QFileInfo>
#include <QProcess>
#include <QString>

namespace pelex::account_protocol {

bool DetachedProcessStarter::startDetached(const std::u16string& program, platform::WindowStyle) {
    const QString path = QString::fromStdU16String(program);
    if (!QFileInfo(path).isFile()) return false;
    return QProcess::startDetached(path, {});
}

}  // namespace pelex::account_protocol
