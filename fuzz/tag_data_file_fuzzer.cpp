// Loading a tag-data file of any content, and saving what was loaded.

#include <algorithm>
#include <span>
#include <vector>

#include "fuzz_support.h"
#include "protocol/replies.h"
#include "protocol/tag_data_file.h"

using namespace dravolin;
using dravolin::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::ScratchFolder folder;
    const std::span<const std::uint8_t> content(data, size);
    const auto source = folder.path() / "chosen.tiv";
    fuzz::writeFile(source, content);

    // A file is taken when it holds its header and every data byte the header announces.
    const long announced = size >= 8 ? fuzz::referenceDecimal(content.subspan(4, 4)) : -1;
    const bool whole = announced >= 0 && size >= 8 + static_cast<std::size_t>(announced);

    const TagDataFile::LoadResult loaded = TagDataFile::load(source);
    require(loaded.ok == whole, "a file is loaded exactly when it is whole");
    if (!loaded.ok) {
        require(loaded.bytes.empty() && !loaded.reason.empty(),
                "a refused file yields no bytes and a reason");
        return 0;
    }
    require(loaded.reason.empty(), "a loaded file has no reason against it");
    require(loaded.bytes.size() == 8 + static_cast<std::size_t>(announced) &&
                std::equal(loaded.bytes.begin(), loaded.bytes.end(), content.begin()),
            "the loaded bytes are the header and the announced data, nothing beyond");

    // What is loaded is what a device's file reply holds without its check byte: the
    // PC's check of such a reply must take it and give back the same bytes.
    std::vector<std::uint8_t> reply = loaded.bytes;
    reply.push_back(fuzz::referenceXor(reply));
    const FileReply parsed = checkFileReply(reply);
    require(parsed.verdict == ReplyVerdict::Accepted &&
                std::equal(parsed.file.begin(), parsed.file.end(), loaded.bytes.begin(),
                           loaded.bytes.end()),
            "a loaded file is a well-formed file reply");

    // Saved over the chosen file and loaded again, it is the same file.
    const TagDataFile::SaveResult saved = TagDataFile::save(source, loaded.bytes);
    require(saved.ok, "a loaded file can be saved");
    require(fuzz::readFile(source) == loaded.bytes, "the saved file holds exactly those bytes");
    const TagDataFile::LoadResult again = TagDataFile::load(source);
    require(again.ok && again.bytes == loaded.bytes, "a saved file loads back the same");
    return 0;
}
