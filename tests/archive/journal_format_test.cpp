// The journal's bytes: a header cut short while it was made is told from a
// damaged journal or a file that is no journal of ours, which must never be
// taken for an empty one.
#include "archive/journal_format.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

TEST(JournalFormat, HeaderFieldsLittleEndianWithTheirCheck) {
    Bytes header(JOURNAL_HEADER_SIZE);
    encodeJournalHeader(FileIdentity{0x0102030405060708ull, 0xA1A2A3A4A5A6A7A8ull}, header.data());
    const Bytes start(header.begin(), header.begin() + 32);
    const Bytes expected{'D',  'I',  'R',  'J',  'O',  'U',  'R',  'N',  1,    0,    0,
                         0,    0,    0,    0,    0,    0x08, 0x07, 0x06, 0x05, 0x04, 0x03,
                         0x02, 0x01, 0xA8, 0xA7, 0xA6, 0xA5, 0xA4, 0xA3, 0xA2, 0xA1};
    EXPECT_EQ(start, expected);
    EXPECT_EQ(decodeFixed32(header.data() + 32), extendChecksum(0, header.data(), 32));

    const Bytes whole = header;
    const struct {
        const char* name;
        std::function<void(Bytes&)> damage;
        JournalHeaderState state;
    } cases[] = {
        {"whole", [](Bytes&) {}, JOURNAL_HEADER_VALID},
        {"empty", [](Bytes& b) { b.clear(); }, JOURNAL_HEADER_TORN},
        {"half written", [](Bytes& b) { b.resize(18); }, JOURNAL_HEADER_TORN},
        {"zeros", [](Bytes& b) { b.assign(JOURNAL_HEADER_SIZE, 0); }, JOURNAL_HEADER_TORN},
        {"a field damaged", [](Bytes& b) { b[20] ^= 0x10; }, JOURNAL_HEADER_FOREIGN},
        {"its check damaged", [](Bytes& b) { b[34] ^= 0x01; }, JOURNAL_HEADER_FOREIGN},
        {"another magic", [](Bytes& b) { b[0] = 'd'; }, JOURNAL_HEADER_FOREIGN},
        {"a short file of another kind",
         [](Bytes& b) {
             b.assign({'h', 'i', '\n'});
         },
         JOURNAL_HEADER_FOREIGN},
        {"a later version",
         [](Bytes& b) {
             b[8] = 2;
             encodeFixed32(b.data() + 32, extendChecksum(0, b.data(), 32));
         },
         JOURNAL_HEADER_FOREIGN},
    };
    for (const auto& c : cases) {
        Bytes bytes = whole;
        c.damage(bytes);
        FileIdentity identity;
        EXPECT_EQ(decodeJournalHeader(bytes.data(), bytes.size(), &identity), c.state) << c.name;
        if (c.state == JOURNAL_HEADER_VALID) {
            EXPECT_EQ(identity, (FileIdentity{0x0102030405060708ull, 0xA1A2A3A4A5A6A7A8ull}));
        }
    }
}

TEST(JournalFormat, EveryTornByteOfARecordHeaderIsSeen) {
    Bytes bytes(RECORD_HEADER_SIZE);
    encodeRecordHeader(RecordHeader{RECORD_STEP, 0xCAFEF00D, 0x0000000123456789ull}, bytes.data());
    RecordHeader header;
    ASSERT_EQ(decodeRecordHeader(bytes.data(), &header), 1);
    EXPECT_EQ(header.kind, RECORD_STEP);
    EXPECT_EQ(header.payloadCheck, 0xCAFEF00Du);
    EXPECT_EQ(header.payloadLength, 0x0000000123456789ull);
    for (size_t at = 0; at < RECORD_HEADER_SIZE; ++at) {
        Bytes torn = bytes;
        torn[at] ^= 0x40;
        EXPECT_EQ(decodeRecordHeader(torn.data(), &header), 0) << "byte " << at;
    }
}

}  // namespace
