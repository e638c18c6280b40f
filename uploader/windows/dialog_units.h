#pragma once
// Window layouts are given in dialog units: a quarter of the font's average character width
// across, an eighth of its height down.

#include <QFont>
#include <QRect>
#include <QWidget>

QRect DialogRect(const QFont& font, int x, int y, int width, int height);
void PlaceControl(QWidget* control, int x, int y, int width, int height);
QSize DialogSize(const QFont& font, int width, int height);
// The application icon, drawn rather than loaded.
QIcon QuorraIcon();
