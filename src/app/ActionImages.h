#pragma once

#include <QIcon>
#include <QList>

// The eleven 24 x 24 pictures of the action bar, by image index:
// 0 open, 1 save / store, 2 connect, 3 disconnected, 4 exit, 5 port setup,
// 6 flash chip, 7 information, 8 graph, 9 alarm bell, 10 clock.
QList<QIcon> DrawActionImages();
