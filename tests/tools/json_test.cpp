#include <gtest/gtest.h>

#include "tools/pstwriter/json.h"

namespace tvn::tools::json {
namespace {

TEST(JsonParse, AcceptsEveryValueKind) {
    const Value v = parse(R"( {"a": [1, -2.5e1, true, false, null, "x\u00e9\ud83d\ude00\n"],
                               "b": {}} )");
    ASSERT_EQ(v.kind, Value::Kind::Object);
    const Value* a = v.find("a");
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->array.size(), 6u);
    EXPECT_EQ(a->array[0].integer, 1);
    EXPECT_DOUBLE_EQ(a->array[1].real, -25.0);
    EXPECT_TRUE(a->array[2].boolean);
    EXPECT_EQ(a->array[4].kind, Value::Kind::Null);
    EXPECT_EQ(a->array[5].string, "x\xC3\xA9\xF0\x9F\x98\x80\n");
    EXPECT_EQ(v.find("b")->kind, Value::Kind::Object);
    EXPECT_EQ(v.find("c"), nullptr);
}

TEST(JsonParse, KeepsMemberOrder) {
    const Value v = parse(R"({"z":1,"a":2,"m":3})");
    ASSERT_EQ(v.object.size(), 3u);
    EXPECT_EQ(v.object[0].key, "z");
    EXPECT_EQ(v.object[2].key, "m");
}

TEST(JsonParse, RefusesMalformedDocuments) {
    const char* bad[] = {
        "",                  // nothing
        "{",                 // unterminated object
        "[1,]",              // trailing comma
        "{\"a\":1,}",        // trailing comma in object
        "{\"a\":1,\"a\":2}", // duplicate key
        "{a:1}",             // unquoted key
        "[01]",              // leading zero
        "[1.]",              // bare decimal point
        "[-]",               // lone minus
        "\"\\x\"",           // unknown escape
        "\"\\u12\"",         // short \u escape
        "\"\\ud800\"",       // unpaired high surrogate
        "\"\\udc00\"",       // lone low surrogate
        "\"a\nb\"",          // raw control character
        "\"\xC3\"",          // truncated UTF-8
        "\"\xFF\"",          // invalid UTF-8
        "[1] [2]",           // two documents
        "tru",               // truncated literal
        "// comment\n1",     // comments are not JSON
        "[1e999]",           // out of range
    };
    for (const char* text : bad) {
        EXPECT_THROW(parse(text), ParseError) << "accepted: " << text;
    }
}

TEST(JsonParse, LimitsNesting) {
    std::string deep(kMaxDepth + 2, '[');
    deep += std::string(kMaxDepth + 2, ']');
    EXPECT_THROW(parse(deep), ParseError);
    std::string ok(kMaxDepth, '[');
    ok += std::string(kMaxDepth, ']');
    EXPECT_NO_THROW(parse(ok));
}

TEST(JsonParse, EveryCutOfADocumentParsesOrFailsCleanly) {
    const std::string doc =
        R"({"store":{"name":"S\u00e9"},"folders":[{"name":"Inbox","items":[{"subject":"x",)"
        R"("importance":2,"fields":{"PercentComplete":0.25}}]}]})";
    ASSERT_NO_THROW(parse(doc));
    for (std::size_t n = 0; n < doc.size(); ++n) {
        EXPECT_THROW(parse(doc.substr(0, n)), ParseError) << "cut at " << n;
    }
}

TEST(JsonParse, ErrorsNameLineAndColumn) {
    try {
        parse("{\n  \"a\": tru\n}");
        FAIL() << "accepted";
    } catch (const ParseError& e) {
        EXPECT_NE(std::string(e.what()).find("line 2, column 8"), std::string::npos) << e.what();
    }
}

} // namespace
} // namespace tvn::tools::json
