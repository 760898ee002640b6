// The sparse text tables: lookups stay right through every kind of edit.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "document/AnnotationTable.h"

namespace {

TEST(AnnotationTable, AgreesWithAMapThroughRandomEdits) {
    const uint32_t count = 5000;
    AnnotationTable table;
    table.Reset(count);
    std::map<uint32_t, std::string> model;
    std::mt19937 random(7);
    for (int step = 0; step < 20000; ++step) {
        const uint32_t index = random() % (count + 10);  // some outside the table
        switch (random() % 4) {
            case 0:
                table.Set(index, "");
                model.erase(index);
                break;
            case 1: {
                // A batch merge, sorted and without repeats.
                std::vector<std::pair<uint32_t, std::string>> batch;
                for (uint32_t i = index % 50; i < count; i += 97 + random() % 300) {
                    batch.emplace_back(i, "batch " + std::to_string(step));
                    model[i] = batch.back().second;
                }
                table.SetSorted(std::move(batch));
                break;
            }
            default: {
                const std::string text =
                    "text " + std::to_string(step) + std::string(random() % 30, 'x');
                table.Set(index, text);
                if (index < count) model[index] = text;
                break;
            }
        }
        if (step % 500 == 0 || step > 19900) {
            ASSERT_EQ(table.Size(), model.size());
            for (uint32_t i = 0; i < count + 10; ++i) {
                const std::string* found = table.Find(i);
                auto it = model.find(i);
                ASSERT_EQ(found != nullptr, it != model.end()) << i;
                ASSERT_EQ(table.Has(i), it != model.end()) << i;
                if (found) {
                    ASSERT_EQ(*found, it->second) << i;
                }
            }
            std::vector<uint32_t> order;
            table.ForEach([&](uint32_t i, const std::string&) { order.push_back(i); });
            std::vector<uint32_t> expected;
            for (auto& [i, t] : model) expected.push_back(i);
            ASSERT_EQ(order, expected);
        }
    }
}

}  // namespace
