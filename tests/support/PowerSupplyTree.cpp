#include "tests/support/PowerSupplyTree.hpp"

#include "tests/support/TestFiles.hpp"

namespace kestrava::test {

PowerSupplyTree& PowerSupplyTree::add(const std::string& name, const Attributes& attributes) {
    std::filesystem::create_directories(root_ / name);
    for (const auto& [attribute, value] : attributes) {
        writeText(root_ / name / attribute, value + "\n");
    }
    return *this;
}

} // namespace kestrava::test
