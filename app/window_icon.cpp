#include "app/window_icon.h"

#include <QPixmap>

namespace glimmerset {

namespace {

// Drawn by icons/make_icons.py, which also writes the installed PNGs. Kept as
// XPM in the code so the icon needs no resource compiler.
static const char *const glimmerset_16[] = {
    "16 16 5 1",
    "  c None",
    "b c #2F3B4A",
    "p c #C0D786",
    "d c #AFC47A",
    "o c #4A4A4A",
    " bbbbbbbbbbbbbb ",
    "bddpoopddpoopddb",
    "bddpoopddpoopddb",
    "bppppppppppppppb",
    "boopoopoopoopoob",
    "boopoopoopoopoob",
    "bppppppppppppppb",
    "boopoopoopoopoob",
    "boopoopoopoopoob",
    "bppppppppppppppb",
    "bddpoopoopoopddb",
    "bddpoopoopoopddb",
    "bppppppppppppppb",
    "bddpddpoopddpddb",
    "bddpddpoopddpddb",
    " bbbbbbbbbbbbbb "
};

static const char *const glimmerset_32[] = {
    "32 32 5 1",
    "  c None",
    "b c #2F3B4A",
    "p c #C0D786",
    "d c #AFC47A",
    "o c #4A4A4A",
    " bbbbbbbbbbbbbbbbbbbbbbbbbbbbbb ",
    "bppppppppppppppppppppppppppppppb",
    "bppppppppppppppppppppppppppppppb",
    "bppppppppppppppppppppppppppppppb",
    "bpppddddpoooopddddpoooopddddpppb",
    "bpppddddpoooopddddpoooopddddpppb",
    "bpppddddpoooopddddpoooopddddpppb",
    "bpppddddpoooopddddpoooopddddpppb",
    "bppppppppppppppppppppppppppppppb",
    "bpppoooopoooopoooopoooopoooopppb",
    "bpppoooopoooopoooopoooopoooopppb",
    "bpppoooopoooopoooopoooopoooopppb",
    "bpppoooopoooopoooopoooopoooopppb",
    "bppppppppppppppppppppppppppppppb",
    "bpppoooopoooopoooopoooopoooopppb",
    "bpppoooopoooopoooopoooopoooopppb",
    "bpppoooopoooopoooopoooopoooopppb",
    "bpppoooopoooopoooopoooopoooopppb",
    "bppppppppppppppppppppppppppppppb",
    "bpppddddpoooopoooopoooopddddpppb",
    "bpppddddpoooopoooopoooopddddpppb",
    "bpppddddpoooopoooopoooopddddpppb",
    "bpppddddpoooopoooopoooopddddpppb",
    "bppppppppppppppppppppppppppppppb",
    "bpppddddpddddpoooopddddpddddpppb",
    "bpppddddpddddpoooopddddpddddpppb",
    "bpppddddpddddpoooopddddpddddpppb",
    "bpppddddpddddpoooopddddpddddpppb",
    "bppppppppppppppppppppppppppppppb",
    "bppppppppppppppppppppppppppppppb",
    "bppppppppppppppppppppppppppppppb",
    " bbbbbbbbbbbbbbbbbbbbbbbbbbbbbb "
};

} // namespace

QIcon glimmersetIcon() {
    QIcon icon;
    icon.addPixmap(QPixmap(glimmerset_16));
    icon.addPixmap(QPixmap(glimmerset_32));
    return icon;
}

} // namespace glimmerset
