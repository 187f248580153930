#pragma once

// Reading back a contacts table: its lines, a row's fields and a column by its header.

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "writers/contact_table.h"

namespace tvn::writers::testing {

// The lines of a table file without their CR LF ends; a last line without one fails.
inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t begin = 0;
    for (auto at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", begin)) {
        out.push_back(text.substr(begin, at - begin));
        begin = at + 2;
    }
    EXPECT_EQ(begin, text.size()) << "every line ends with CR LF";
    return out;
}

inline std::vector<std::string> fields(const std::string& row) {
    std::vector<std::string> out(1);
    for (const char c : row) {
        if (c == '\t') {
            out.emplace_back();
        } else {
            out.back() += c;
        }
    }
    return out;
}

// The value of the column of this header in a row of 80 fields.
inline std::string column(const std::string& row, std::string_view header) {
    const auto values = fields(row);
    EXPECT_EQ(values.size(), contacts::kColumns.size()) << row;
    for (std::size_t i = 0; i < contacts::kColumns.size() && i < values.size(); ++i) {
        if (contacts::kColumns[i].header == header) {
            return values[i];
        }
    }
    ADD_FAILURE() << "no column " << header;
    return {};
}

} // namespace tvn::writers::testing
