#pragma once

#include <QIcon>

// The program's own icons, drawn in code (no image files from elsewhere). Indices are those of
// the main window's image list: tabs, menus and popup items refer to them by number.
enum TKOVAImage
{
    kiOpen = 0,
    kiSave = 1,
    kiConfiguration = 2,
    kiIniEditor = 3,
    kiFolder = 4,
    kiDelete = 5,
    kiStatistics = 6,
    kiGameSettings = 7,
    kiMaps = 8,
    kiProfiles = 9,
    kiPlay = 10,
    kiExtract = 11,
    kiAdd = 12,
    kiAbout = 13,
    kiSystemIntegration = 14,
    kiRename = 15,
    kiAddSection = 16,
    kiDeleteSection = 17,
    kiScreenshots = 18,
    kiDemos = 19,
    kiCache = 20,
    kiImageCount
};

// The icon of an image-list index (16 x 16 and 24 x 24 pixmaps); an index out of range gives a
// null icon.
QIcon KOVAIcon(int index);

// The program's logo, Size pixels square, for the About page.
QPixmap KOVALogo(int size);

// The icon written beside demo files for the desktop's file manager.
QImage KOVADemoFileImage(int size);
