// The floor for a text-mode run: read the data file, parse every value and
// print every record line twice ("[%05d]   v1-v2-key"), through a 1 MB
// buffer. No validation, sorting or grouping: no correct run can do less
// than this, though every correct run does more (see SortingFloor.cpp).
//
// Usage: quorvale_floor FILE > OUTPUT

#include "FloorParts.h"

int main(int argc, char** argv) {
    std::FILE* file = argc == 2 ? std::fopen(argv[1], "rb") : nullptr;
    if (file == nullptr) {
        std::fprintf(stderr, "usage: quorvale_floor FILE\n");
        return 2;
    }
    const std::vector<std::int32_t> values = floorparts::ParseValues(floorparts::ReadAll(file));
    std::fclose(file);
    const std::size_t records = values.empty() ? 0 : (values.size() - 1) / 4;
    floorparts::PrintTwice(values.data() + 1, records);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
