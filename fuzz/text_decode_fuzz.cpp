// Arbitrary bytes as a text file. ReadFileToString must deliver text without a CR or a Ctrl-Z
// (well-formed UTF-16 unless the file is UTF-16 itself, whose units pass as they are), agree with
// decoding the same bytes in memory, and decoding in two chunks (cut where the input says) must
// give the same text as decoding at once.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "util/files/file_util.h"
#include "util/files/text_codec.h"

namespace {

using namespace common::sdk::file_util;

const std::string& FilePath() {
    static const std::string path = "/tmp/text_decode_fuzz_" + std::to_string(getpid()) + ".txt";
    return path;
}

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

bool WellFormed(std::u16string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] >= 0xD800 && text[i] <= 0xDBFF) {
            if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
            ++i;
        } else if (text[i] >= 0xDC00 && text[i] <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

std::u16string DecodeInTwo(std::string_view bytes, internal::ByteEncoding encoding, size_t cut) {
    internal::TextDecoder decoder(encoding);
    std::u16string out(bytes.size() + 2, u'\0');
    size_t consumed = 0;
    size_t written = decoder.Decode(reinterpret_cast<const uint8_t*>(bytes.data()), cut, false,
                                    out.data(), &consumed);
    std::string rest(bytes.substr(consumed));
    size_t ignored = 0;
    written += decoder.Decode(reinterpret_cast<const uint8_t*>(rest.data()), rest.size(), true,
                              out.data() + written, &ignored);
    out.resize(written);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::FILE* out = std::fopen(FilePath().c_str(), "wb");
    if (!out) return 0;
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);

    const CPath path(CString::FromUtf8(FilePath()));
    Encoding encoding = kUnicode;
    Check(GetFileEncoding(path, &encoding), "GetFileEncoding succeeds");
    CString text;
    Check(ReadFileToString(path, &text), "ReadFileToString succeeds");
    Check(encoding == kUtf16Le || WellFormed(text.View()), "well-formed UTF-16");
    Check(text.Find(u'\r') == -1, "no CR left");
    Check(text.Find(u'\x1A') == -1, "the text ends at a Ctrl-Z");

    if (encoding != kAnsi) {
        const auto byteEncoding =
            encoding == kUtf8 ? internal::ByteEncoding::kUtf8 : internal::ByteEncoding::kUtf16Le;
        const std::string_view body = std::string_view(bytes).substr(encoding == kUtf8 ? 3 : 2);
        const std::u16string whole = internal::DecodeText(body, byteEncoding);
        Check(text.View() == whole, "file and memory decoding agree");
        const size_t cut = body.empty() ? 0 : data[0] % (body.size() + 1);
        Check(DecodeInTwo(body, byteEncoding, cut) == whole, "chunking does not matter");
    }
    return 0;
}
