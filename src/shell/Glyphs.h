// The pictures the program draws for itself: speed-button glyphs and the splash picture.
#pragma once

#include <QIcon>
#include <QPixmap>

enum class Glyph {
    Settings,
    Status,
    ClockRead,
    ClockSet,
    ModeTable,
    Batch,
    Online,
    Count,
    Erase,
    Exit,
    Meal,
    TimeSheet
};

QIcon glyphIcon(Glyph glyph);
QPixmap splashPicture(); // 370 x 280
