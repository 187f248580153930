// The strictness the description reader adds to the JSON library: what the library would
// accept or silently resolve must be refused, and every refusal must say where.

#include <gtest/gtest.h>

#include "tools/pstwriter/json.h"

namespace tvn::tools::json {
namespace {

std::string errorOf(const std::string& text) {
    try {
        parse(text);
    } catch (const ParseError& e) {
        return e.what();
    }
    return "accepted";
}

TEST(JsonParse, RefusesWhatIsNotPlainJsonAndSaysWhere) {
    struct Case {
        const char* text;
        const char* place;
    };
    const Case cases[] = {
        {"{\"a\":1,\"a\":2}", "line 1, column 10"},                             // duplicate key
        {"{\"o\":{\"k\":1},\n \"p\":{\"k\":1, \"k\":2}}", "line 2, column 16"}, // nested
        {"[1,]", "line 1, column 4"},                                           // trailing comma
        {"{\"a\":1,}", "line 1, column 8"},          // trailing comma in object
        {"// note\n1", "line 1, column 1"},          // comment
        {"[1, /* note */ 2]", "line 1, column 5"},   // comment
        {"[0,\n 1e999]", "line 2, column 7"},        // not a finite number
        {"{\n  \"a\": tru\n}", "line 2, column 11"}, // any syntax error
        {"", "line 1, column 1"},                    // nothing
    };
    for (const auto& c : cases) {
        const std::string error = errorOf(c.text);
        EXPECT_NE(error.find(c.place), std::string::npos) << c.text << " -> " << error;
    }
    EXPECT_NE(errorOf("{\"a\":1,\"a\":2}").find("duplicate member \"a\""), std::string::npos);
}

TEST(JsonParse, AKeyMayRecurInAnotherObject) {
    const Value v = parse(R"({"k":{"k":1},"l":[{"k":1},{"k":2}]})");
    EXPECT_EQ(v["l"][1]["k"], 2);
}

TEST(JsonParse, LimitsNesting) {
    const std::size_t max = kMaxDepth;
    auto arrays = [](std::size_t depth) {
        return std::string(depth, '[') + std::string(depth, ']');
    };
    auto objects = [](std::size_t depth) {
        std::string s;
        for (std::size_t i = 0; i < depth; ++i) {
            s += "{\"a\":";
        }
        return s + "1" + std::string(depth, '}');
    };
    EXPECT_NO_THROW(parse(arrays(max)));
    EXPECT_NO_THROW(parse(objects(max)));
    EXPECT_THROW(parse(arrays(max + 2)), ParseError);
    EXPECT_THROW(parse(objects(max + 1)), ParseError);
}

TEST(JsonParse, KeepsMemberOrder) {
    const Value v = parse(R"({"z":1,"a":2,"m":3})");
    std::string keys;
    for (const auto& [key, value] : v.items()) {
        keys += key;
    }
    EXPECT_EQ(keys, "zam");
}

} // namespace
} // namespace tvn::tools::json
