#include <gtest/gtest.h>

#include "platform/JsonWriter.h"

TEST(JsonWriter, EscapesAndNests) {
    platform::JsonWriter json(false);
    json.beginObject();
    json.key("a\"b").string("line\nbreak\t\x01 ü");
    json.key("list").beginArray().null().boolean(true).rawNumber("1.5").beginObject().endObject();
    json.endArray();
    json.key("empty").beginArray().endArray();
    json.endObject();
    EXPECT_EQ(json.text(),
              "{\"a\\\"b\":\"line\\nbreak\\t\\u0001 ü\",\"list\":[null,true,1.5,{}],\"empty\":[]}");
}

TEST(JsonWriter, PrettyPrintsWithIndentation) {
    platform::JsonWriter json(true);
    json.beginObject().key("x").beginArray().string("y").endArray().endObject();
    EXPECT_EQ(json.text(), "{\n  \"x\": [\n    \"y\"\n  ]\n}");
}
