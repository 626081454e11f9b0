// The floor for a text-mode run: read the data file, parse every value and
// print every record line twice ("[%05d]   v1-v2-key"), through a 1 MB
// buffer. No validation, sorting or grouping: no correct run can do less
// than this, though every correct run does more (see SortingFloor.cpp).
//
// Usage: quorvale_floor FILE > OUTPUT

#include "FloorParts.h"

int main(int argc, char** argv) {
    const std::vector<std::int32_t> values =
        floorparts::ValuesOfArgument(argc, argv, "quorvale_floor");
    floorparts::PrintTwice(values.data() + 1, floorparts::RecordsIn(values));
    return std::fflush(stdout) == 0 ? 0 : 1;
}
