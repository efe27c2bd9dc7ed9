// What the program sets up once, before its first window: its names and the windows' plain
// face as the application's font. main() and the start benchmark both begin with it, so that
// the benchmark starts what users start.
#pragma once

namespace ui {

void prepareApplication();

}  // namespace ui
