#pragma once
// The phone's icon: the desktop theme's "pelex-softphone" where the package
// installed it, else a handset drawn here.

#include <QIcon>

namespace pelex::host {

QIcon phoneIcon();

}  // namespace pelex::host
