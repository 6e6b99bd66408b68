// Find by name (Alt-F7): asks for a wildcard mask, searches the whole tree
// and lists what it found; Enter on a found entry shows it in the panels.
#pragma once

// Runs the whole find: the mask dialog, the search from the root, and the
// found list. Changes the panels only when the user picks an entry with
// Enter; the screen is put back as it was otherwise.
void findByNameDialog();
