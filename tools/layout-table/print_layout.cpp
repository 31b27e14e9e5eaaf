// print_layout: the window's designed rectangles, one control a line: "name left top width height" in
// twips, straight from the program's design table, for scripts/layout-shot.sh to draw over a screenshot.
#include <cstdio>

#include "app/window_look.h"

int main() {
    for (const corvat::ControlLook& row : corvat::DesignedControls()) {
        if (row.lineThickness > 0) continue;  // lines are drawn, not laid out as boxes
        std::printf("%s %d %d %d %d\n", row.name, row.left, row.top, row.width, row.height);
    }
    return 0;
}
