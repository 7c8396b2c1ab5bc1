#include "pipeline/UReportSpool.h"

#include "platform/UErrors.h"
#include "platform/UFileStream.h"
#include "platform/UFileSys.h"

#include <cstring>
#include <vector>

namespace vlm {

namespace {

// A record: a flag byte (1: untaken, 2: on the same page as the record before, whose page
// it then leaves out), the outcome byte, the line, the lengths of the page (unless left
// out), the reference as written and the path, and then their bytes. Numbers are in the
// machine's own order: the file lives as long as the list that writes it.
enum : uint8_t { UntakenFlag = 1, SamePageFlag = 2 };
constexpr size_t FixedBytes = 2 + 8;

void AppendNumber(std::string& out, uint64_t value) {
    char bytes[8];
    std::memcpy(bytes, &value, sizeof bytes);
    out.append(bytes, sizeof bytes);
}

uint64_t NumberAt(const char* data) {
    uint64_t value = 0;
    std::memcpy(&value, data, sizeof value);
    return value;
}

size_t LengthCount(uint8_t flags) {
    return (flags & SamePageFlag) != 0 ? 2 : 3;
}

// The bytes the record at data takes, once the head of it is there (else the bytes of the
// head, so that the caller reads at least that much).
uint64_t RecordBytes(const char* data, size_t available) {
    if (available < FixedBytes)
        return FixedBytes;
    const size_t lengths = LengthCount(static_cast<uint8_t>(data[0]));
    const uint64_t head = FixedBytes + 8 * lengths;
    if (available < head)
        return head;
    uint64_t total = head;
    for (size_t i = 0; i < lengths; ++i)
        total += NumberAt(data + FixedBytes + 8 * i);
    return total;
}

// Reads a whole record into out; the page stays as it is when the record leaves it out.
void DecodeRecord(const char* data, TBrokenReference& out) {
    const auto flags = static_cast<uint8_t>(data[0]);
    out.Untaken = (flags & UntakenFlag) != 0;
    out.Why = static_cast<TReferenceOutcome>(data[1]);
    out.Line = NumberAt(data + 2);
    const size_t lengths = LengthCount(flags);
    const char* text = data + FixedBytes + 8 * lengths;
    const char* length = data + FixedBytes;
    for (std::string* field : {&out.Page, &out.Written, &out.Path}) {
        if (field == &out.Page && lengths == 2)
            continue;
        const auto size = static_cast<size_t>(NumberAt(length));
        field->assign(text, size);
        text += size;
        length += 8;
    }
}

} // namespace

struct TBrokenReferences::TState {
    explicit TState(size_t chunkBytes) : ChunkBytes(chunkBytes == 0 ? 1 : chunkBytes) {}
    ~TState() {
        Stream.reset();
        if (!FileName.empty())
            DeleteFile(FileName);
    }

    void Open() {
        FileName = CreateUniqueTempFile(RequireTempFolder(), "broken");
        Stream = std::make_unique<TFileStream>(FileName, TFileMode::OpenReadWrite);
    }

    // A failed write leaves Written as it was, so the next flush writes the chunk again.
    void Flush() {
        if (Pending.empty())
            return;
        try {
            Stream->SetPosition(Written);
            Stream->WriteBuffer(Pending.data(), Pending.size());
        } catch (const EStreamError& e) {
            throw EVlmError(FormatMessage("Cannot write file \"%s\". %s",
                                          {FileName, SysErrorMessage(e.ErrorNumber)}));
        }
        Written += static_cast<int64_t>(Pending.size());
        Pending.clear();
    }

    const size_t ChunkBytes;
    std::string FileName;
    std::unique_ptr<TFileStream> Stream;
    std::string Pending; // records not yet written
    int64_t Written = 0; // bytes in the file
    size_t Count = 0;
    std::string LastPage;
};

// One reading: a chunk of the file in memory and the record it is at.
struct TBrokenReferences::TCursor {
    explicit TCursor(TState& state) : State(state), Count(state.Count), Buffer(state.ChunkBytes) {}

    void Load() {
        uint64_t need = RecordBytes(Buffer.data() + Begin, End - Begin);
        while (End - Begin < need) {
            Fill(need);
            need = RecordBytes(Buffer.data() + Begin, End - Begin);
        }
        DecodeRecord(Buffer.data() + Begin, Current);
        Begin += static_cast<size_t>(need);
    }

    // Moves the unread bytes to the front and reads more after them, at least need bytes
    // in all; the buffer grows for a record larger than a chunk.
    void Fill(uint64_t need) {
        std::memmove(Buffer.data(), Buffer.data() + Begin, End - Begin);
        End -= Begin;
        Begin = 0;
        if (Buffer.size() < need)
            Buffer.resize(static_cast<size_t>(need));
        size_t read = 0;
        try {
            State.Stream->SetPosition(Offset);
            read = State.Stream->Read(Buffer.data() + End, Buffer.size() - End);
        } catch (const EStreamError& e) {
            throw EVlmError(FormatMessage("Cannot read file \"%s\". %s",
                                          {State.FileName, SysErrorMessage(e.ErrorNumber)}));
        }
        if (read == 0)
            throw EVlmError("Cannot read file \"" + State.FileName +
                            "\". It ends before the references written into it");
        Offset += static_cast<int64_t>(read);
        End += read;
    }

    TState& State;
    const size_t Count;
    std::vector<char> Buffer;
    size_t Begin = 0;
    size_t End = 0;
    int64_t Offset = 0; // in the file, of the byte after the buffer's
    size_t Index = 0;
    TBrokenReference Current;
};

TBrokenReferences::TBrokenReferences(size_t chunkBytes) : F(std::make_unique<TState>(chunkBytes)) {}
TBrokenReferences::~TBrokenReferences() = default;
TBrokenReferences::TBrokenReferences(TBrokenReferences&&) noexcept = default;
TBrokenReferences& TBrokenReferences::operator=(TBrokenReferences&&) noexcept = default;

void TBrokenReferences::Add(std::string_view page, uint64_t line, std::string_view written,
                            std::string_view path, TReferenceOutcome why, bool untaken) {
    if (!F)
        F = std::make_unique<TState>(DefaultChunkBytes);
    if (!F->Stream)
        F->Open();
    const bool samePage = F->Count > 0 && page == F->LastPage;
    std::string& out = F->Pending;
    out += static_cast<char>((untaken ? UntakenFlag : 0) | (samePage ? SamePageFlag : 0));
    out += static_cast<char>(why);
    AppendNumber(out, line);
    if (!samePage)
        AppendNumber(out, page.size());
    AppendNumber(out, written.size());
    AppendNumber(out, path.size());
    if (!samePage) {
        out.append(page);
        F->LastPage.assign(page);
    }
    out.append(written);
    out.append(path);
    ++F->Count;
    if (out.size() >= F->ChunkBytes)
        F->Flush();
}

void TBrokenReferences::Flush() const {
    if (F && F->Stream)
        F->Flush();
}

size_t TBrokenReferences::size() const {
    return F ? F->Count : 0;
}

std::string TBrokenReferences::FileName() const {
    return F ? F->FileName : std::string();
}

TBrokenReferences::const_iterator TBrokenReferences::begin() const {
    if (empty())
        return end();
    F->Flush();
    auto cursor = std::make_shared<TCursor>(*F);
    cursor->Load();
    return const_iterator(std::move(cursor), F->Count);
}

const TBrokenReference& TBrokenReferences::const_iterator::operator*() const {
    return FCursor->Current;
}

TBrokenReferences::const_iterator& TBrokenReferences::const_iterator::operator++() {
    if (++FCursor->Index < FCursor->Count)
        FCursor->Load();
    return *this;
}

size_t TBrokenReferences::const_iterator::Index() const {
    return FCursor ? FCursor->Index : FEnd;
}

} // namespace vlm
