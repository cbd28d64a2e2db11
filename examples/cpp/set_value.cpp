// set_value FILE KEY... VALUE: reads the document FILE, sets the scalar at
// the path of mapping keys KEY... to VALUE, and prints the document again.
// The comments the file holds are kept; the text is written in the library's
// layout (keys in byte order, every scalar quoted).
//
//   set_value examples/service.vorn service image registry.example.com/orders-api:2.15.0
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "vorn/emit.hpp"
#include "vorn/parse.hpp"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::cerr << "usage: set_value FILE KEY... VALUE\n";
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        std::cerr << "set_value: cannot read " << argv[1] << "\n";
        return 2;
    }
    std::ostringstream text;
    text << file.rdbuf();

    vorn::Result<vorn::Value> document = vorn::parse_document(text.str());
    if (!document) {
        std::cerr << argv[1] << ": " << document.error().render() << "\n";
        return 1;
    }

    // Walk down the keys; the last one names the scalar to set.
    vorn::Value* value = &document.value();
    for (int i = 2; i < argc - 1; ++i) {
        vorn::Node* node = value->is_mapping() ? value->mapping().find(argv[i]) : nullptr;
        if (node == nullptr) {
            std::cerr << "set_value: no mapping entry " << argv[i] << "\n";
            return 1;
        }
        value = &node->value;
    }
    if (!value->is_scalar()) {
        std::cerr << "set_value: the value at that path is not a string\n";
        return 1;
    }
    // The node keeps its comments: only its value changes.
    value->scalar() = argv[argc - 1];
    std::cout << vorn::emit(document.value());
    return 0;
}
