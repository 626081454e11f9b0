// The fast stages against the plain reference stages on many seeded random
// tables: each runs on its own state from the same loaded table, and after
// every stage the whole module state must be the same, the reasons for
// rejected and unplaced records included. A fault shows at its stage.

#include "Reference.h"
#include "TestSupport.h"
#include "frmQuorvale.h"
#include "modQuorvale.h"
#include "platform/FatalError.h"

#include <climits>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace modQuorvale;
using testing_support::Capture;
using testing_support::CompareStages;
using testing_support::Difference;
using testing_support::Record;
using testing_support::SetTable;
using testing_support::State;

using Generator = std::function<std::vector<Record>(std::mt19937&)>;

std::int32_t Uniform(std::mt19937& rng, std::int32_t low, std::int32_t high) {
    return std::uniform_int_distribution<std::int32_t>(low, high)(rng);
}

// Mostly small tables, now and then a larger one.
std::int32_t TableSize(std::mt19937& rng) {
    return Uniform(rng, 0, 99) < 3 ? Uniform(rng, 200, 300) : Uniform(rng, 0, 100);
}

std::vector<Record> Build(std::mt19937& rng,
                          const std::function<Record(std::int32_t, std::int32_t)>& make,
                          std::optional<std::int32_t> fixedSize = std::nullopt) {
    const std::int32_t size = fixedSize ? *fixedSize : TableSize(rng);
    std::vector<Record> table;
    for (std::int32_t i = 0; i < size; ++i) {
        Record record = make(i, size);
        record.spare = i;
        record.status = StatusFree;
        table.push_back(record);
    }
    return table;
}

// Realistic: mostly in range, keys shared by a handful of records.
std::vector<Record> Realistic(std::mt19937& rng) {
    const std::int32_t keys = Uniform(rng, 1, 40);
    std::vector<std::int32_t> keyValue1(static_cast<std::size_t>(keys) + 1);
    for (auto& v : keyValue1) {
        v = Uniform(rng, 1, 48);
    }
    return Build(rng, [&](std::int32_t, std::int32_t) {
        const std::int32_t key = Uniform(rng, 0, keys);
        const std::int32_t value1 = Uniform(rng, 0, 9) == 0
                                        ? Uniform(rng, -2, 52)
                                        : keyValue1[static_cast<std::size_t>(key)];
        return Record{value1, Uniform(rng, 0, 19) == 0 ? Uniform(rng, -1, 9) : Uniform(rng, 1, 7),
                      key};
    });
}

std::vector<Record> FewKeys(std::mt19937& rng) {
    return Build(rng, [&](std::int32_t, std::int32_t) {
        return Record{Uniform(rng, 5, 6), Uniform(rng, 0, 8), Uniform(rng, 1, 3)};
    });
}

// A few distinct records repeated many times.
std::vector<Record> ManyTwins(std::mt19937& rng) {
    std::vector<Record> templates;
    for (std::int32_t t = Uniform(rng, 1, 6); t > 0; --t) {
        templates.push_back({Uniform(rng, 10, 12), Uniform(rng, 1, 7), Uniform(rng, 1, 2)});
    }
    return Build(rng, [&](std::int32_t, std::int32_t) {
        return templates[static_cast<std::size_t>(
            Uniform(rng, 0, static_cast<std::int32_t>(templates.size()) - 1))];
    });
}

std::vector<Record> AllValue2Equal(std::mt19937& rng) {
    const std::int32_t value2 = Uniform(rng, 0, 8);
    return Build(rng, [&](std::int32_t, std::int32_t) {
        return Record{Uniform(rng, 1, 3), value2, Uniform(rng, 1, 20)};
    });
}

// Strictly decreasing Value2, most of it out of range and all distinct.
std::vector<Record> Decreasing(std::mt19937& rng) {
    const std::int32_t step = Uniform(rng, 1, 3);
    return Build(rng, [&](std::int32_t i, std::int32_t size) {
        return Record{Uniform(rng, 1, 48), (size - i) * step - 20, Uniform(rng, 1, 10)};
    });
}

// Value2 cycling through a short pattern, sometimes with an outlier.
std::vector<Record> Alternating(std::mt19937& rng) {
    std::vector<std::int32_t> pattern;
    for (std::int32_t k = Uniform(rng, 2, 4); k > 0; --k) {
        pattern.push_back(Uniform(rng, 1, 7));
    }
    return Build(rng, [&](std::int32_t i, std::int32_t) {
        const std::int32_t value2 = Uniform(rng, 0, 29) == 0
                                        ? Uniform(rng, -5, 15)
                                        : pattern[static_cast<std::size_t>(i) % pattern.size()];
        return Record{8 + i % 2, value2, i % 5};
    });
}

// Value2 5 now and then, with ever longer runs of smaller values between:
// the k-th record of 5 is followed by about k - 1 smaller ones, so the
// records of 5 see many rotations between two of them.
std::vector<Record> GrowingGaps(std::mt19937& rng) {
    std::int32_t gap = 0;
    std::int32_t left = 0;
    const std::int32_t jitter = Uniform(rng, 0, 1);
    return Build(
        rng,
        [&](std::int32_t, std::int32_t) {
            if (left-- > 0) {
                return Record{7, Uniform(rng, 1, 4), Uniform(rng, 1, 9)};
            }
            left = gap++ + (jitter == 1 ? Uniform(rng, 0, 1) : 0);
            return Record{7, 5, Uniform(rng, 1, 9)};
        },
        Uniform(rng, 150, 220));
}

std::vector<Record> AllRejected(std::mt19937& rng) {
    return Build(rng, [&](std::int32_t, std::int32_t) {
        return Record{Uniform(rng, 0, 1) == 0 ? 0 : Uniform(rng, 49, 1000), Uniform(rng, -3, 10),
                      Uniform(rng, 1, 5)};
    });
}

// Anything a signed 32-bit field can hold.
std::vector<Record> Extremes(std::mt19937& rng) {
    const std::int32_t pick[] = {INT32_MIN, INT32_MIN + 1, -1, 0, 1, 7, 8, 48, 49, INT32_MAX};
    auto any = [&] {
        return Uniform(rng, 0, 1) == 0 ? pick[Uniform(rng, 0, 9)]
                                       : Uniform(rng, INT32_MIN, INT32_MAX);
    };
    return Build(rng, [&](std::int32_t, std::int32_t) {
        return Record{Uniform(rng, 0, 1) == 0 ? Uniform(rng, 1, 48) : any(),
                      Uniform(rng, 0, 1) == 0 ? Uniform(rng, 1, 7) : any(), Uniform(rng, -2, 2)};
    });
}

// Following a record from its lstInput line leads to a line of another
// list that shows the same record, and from there back to its lstInput line;
// going to its position in each list lands on those lines.
std::string FollowingDifference(std::int32_t position) {
    using frmQuorvale::PlaceKind;
    const frmQuorvale::RecordPlace place = frmQuorvale::PlaceOf(position);
    std::ostringstream out;
    if (place.kind == PlaceKind::Input ||
        frmQuorvale::PositionOnLine(place.kind, place.line) != position) {
        out << "record " << position << " leads to a line of another record";
    } else if (frmQuorvale::PositionOnLine(PlaceKind::Input, position) != position ||
               frmQuorvale::LineOfPosition(PlaceKind::Input, position) != position) {
        out << "record " << position << " is not on its lstInput line";
    }
    for (const PlaceKind kind : {PlaceKind::Output, PlaceKind::NotPlaced, PlaceKind::Rejected}) {
        const std::int32_t line = frmQuorvale::LineOfPosition(kind, position);
        if (line != (kind == place.kind ? place.line : -1)) {
            out << "going to record " << position << " in list " << static_cast<int>(kind)
                << " lands on line " << line;
        }
    }
    return out.str();
}

// The fates that the window tells, from the reference stages' lists: each
// record is in exactly one list, and its Input tip names that list and
// place; each output record line names the groups that made its list.
std::string FateDifference(const std::vector<Record>& loaded) {
    frmQuorvale::ResetForm();
    SetTable(loaded);
    KeepReasons = true;
    try {
        reference::ValidateAndSort();
        reference::BuildGroups();
        reference::PairGroups();
    } catch (const platform::FatalError&) {
        frmQuorvale::ResetForm();
        return ""; // a failed run shows no window
    }
    const auto count = static_cast<std::size_t>(RecordCount);
    std::vector<std::string> expected(count);
    std::vector<int> lists(count, 0);
    auto expect = [&](std::int32_t position, std::string fate) {
        expected[static_cast<std::size_t>(position)] = std::move(fate);
        ++lists[static_cast<std::size_t>(position)];
    };
    std::ostringstream out;
    // Every record line of lstOutput, as the fill lays them out.
    const std::int32_t outputLines = OutputLists->Count() * frmQuorvale::OutputListLines;
    for (std::int32_t index = 0; index < outputLines; ++index) {
        const frmQuorvale::OutputLine line = frmQuorvale::OutputLineAt(index);
        if (line.part != frmQuorvale::OutputLine::Part::Record) {
            continue;
        }
        const PositionList& output = OutputLists->Item(line.list);
        expect(output.Item(line.record), "placed in Output List " + std::to_string(line.list) +
                                             ", line " + std::to_string(line.record));
        const std::string groups = frmQuorvale::DescribeOutput(index);
        const bool full = groups == "a full group of 5";
        const std::string lead = frmQuorvale::RecordName(output.Item(1));
        if (!full && groups.rfind("group " + lead + " of ", 0) != 0) {
            out << "output list " << line.list << " tells " << groups;
        }
    }
    // Lines of lstNotPlaced and lstErrors by 0-based index, items by 1-based.
    for (std::int32_t i = 0; i < NotPlacedList->Count(); ++i) {
        expect(NotPlacedList->Item(i + 1),
               "not placed because " + frmQuorvale::DescribeNotPlaced(i));
    }
    for (std::int32_t i = 0; i < RejectedList->Count(); ++i) {
        expect(RejectedList->Item(i + 1), "rejected because " + frmQuorvale::DescribeRejection(i));
    }
    for (std::int32_t p = 0; out.tellp() == 0 && p < RecordCount; ++p) {
        out << FollowingDifference(p);
        const std::string fate = frmQuorvale::DescribeInput(p);
        if (lists[static_cast<std::size_t>(p)] != 1) {
            out << "record " << p << " is in " << lists[static_cast<std::size_t>(p)] << " lists";
        } else if (fate != expected[static_cast<std::size_t>(p)] ||
                   fate.back() == ' ') { // a reason left empty
            out << "record " << p << ": expected " << expected[static_cast<std::size_t>(p)]
                << " got " << fate;
        }
    }
    frmQuorvale::ResetForm();
    return out.str();
}

void RunSeeds(const char* name, const Generator& generate, std::uint32_t seeds) {
    for (std::uint32_t seed = 1; seed <= seeds; ++seed) {
        std::mt19937 rng(seed);
        const std::vector<Record> table = generate(rng);
        ASSERT_EQ(CompareStages(table), "") << name << " seed " << seed;
        ASSERT_EQ(FateDifference(table), "") << name << " seed " << seed << ", fates";
    }
}

// 10,000 tables in all (WideKeys adds 500 below), each generator aiming at another corner.
TEST(Differential, RealisticTables) {
    RunSeeds("Realistic", Realistic, 3000);
}
TEST(Differential, FewKeys) {
    RunSeeds("FewKeys", FewKeys, 1000);
}
TEST(Differential, ManyTwins) {
    RunSeeds("ManyTwins", ManyTwins, 1000);
}
TEST(Differential, AllValue2Equal) {
    RunSeeds("AllValue2Equal", AllValue2Equal, 1000);
}
TEST(Differential, StrictlyDecreasingValue2) {
    RunSeeds("Decreasing", Decreasing, 1000);
}
TEST(Differential, AlternatingValue2) {
    RunSeeds("Alternating", Alternating, 1000);
}
TEST(Differential, ManyRotationsBetweenEqualValues) {
    RunSeeds("GrowingGaps", GrowingGaps, 300);
}
TEST(Differential, EveryRecordRejected) {
    RunSeeds("AllRejected", AllRejected, 700);
}
TEST(Differential, ExtremeValues) {
    RunSeeds("Extremes", Extremes, 1000);
}

// Tables of thousands of records, past every small-table path of the
// stages, with keys shared by about four records as in real files.
std::vector<Record> LargeRealistic(std::mt19937& rng) {
    const std::int32_t size = Uniform(rng, 5000, 6000);
    std::vector<std::int32_t> keyValue1(static_cast<std::size_t>(size / 4) + 1);
    for (auto& v : keyValue1) {
        v = Uniform(rng, 1, 48);
    }
    return Build(
        rng,
        [&](std::int32_t, std::int32_t) {
            const std::int32_t key = Uniform(rng, 0, size / 4);
            const std::int32_t value1 = Uniform(rng, 0, 49) == 0
                                            ? Uniform(rng, 0, 49)
                                            : keyValue1[static_cast<std::size_t>(key)];
            const std::int32_t value2 =
                Uniform(rng, 0, 49) == 0 ? Uniform(rng, -1, 9) : Uniform(rng, 1, 7);
            return Record{value1, value2, key};
        },
        size);
}

TEST(Differential, LargeRealisticTables) {
    RunSeeds("LargeRealistic", LargeRealistic, 4);
}

// Keys spread over the whole 32-bit range, so that no table by key fits:
// the stages must take their general paths and still agree.
std::vector<Record> WideKeys(std::mt19937& rng) {
    std::vector<std::int32_t> keys(static_cast<std::size_t>(Uniform(rng, 1, 12)));
    for (auto& key : keys) {
        key = Uniform(rng, INT32_MIN, INT32_MAX);
    }
    const auto last = static_cast<std::int32_t>(keys.size()) - 1;
    return Build(rng, [&](std::int32_t, std::int32_t) {
        const std::int32_t key = keys[static_cast<std::size_t>(Uniform(rng, 0, last))];
        return Record{Uniform(rng, 0, 3) == 0 ? Uniform(rng, 0, 49) : 20 + key % 4,
                      Uniform(rng, 0, 8), key};
    });
}

TEST(Differential, WideKeys) {
    RunSeeds("WideKeys", WideKeys, 500);
}

// The comparison itself must notice a wrong order.
TEST(Differential, ComparisonSeesAChangedRow) {
    SetTable({{5, 2, 1}, {5, 1, 1}});
    const State before = Capture();
    RecordTable.Set(0, Spare, 99);
    EXPECT_NE(Difference(before, Capture()), "");
}

TEST(Differential, ComparisonSeesAChangedReason) {
    ResetModule();
    SetTable({{60, 1, 1}});
    KeepReasons = true;
    ValidateAndSort();
    const State before = Capture();
    ASSERT_EQ(RejectedReasons.size(), 1u);
    RejectedReasons[0].value = 61;
    EXPECT_NE(Difference(before, Capture()), "");
    ResetModule();
}

} // namespace
