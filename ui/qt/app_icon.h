// SPDX-License-Identifier: MIT
#pragma once
// The tool's icon (window icon and the picture in the about box).
#include <QIcon>
#include <QPixmap>

namespace zmr::ui {

QIcon AppIcon();
// The icon as a picture of `size` x `size` pixels.
QPixmap AppIconPixmap(int size);

}  // namespace zmr::ui
