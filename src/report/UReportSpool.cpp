#include "report/UReportSpool.h"

#include "platform/UErrors.h"
#include "platform/UFileStream.h"
#include "platform/UFileSys.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace vlm {

namespace {

// Numbers are 8 bytes in the machine's own order: the file lives only as long as the list
// that writes it, in the same process. Every record is preceded by its length.
constexpr size_t NumberBytes = 8;

void AppendNumber(std::string& out, uint64_t value) {
    char bytes[NumberBytes];
    std::memcpy(bytes, &value, sizeof bytes);
    out.append(bytes, sizeof bytes);
}

void AppendText(std::string& out, std::string_view text) {
    AppendNumber(out, text.size());
    out.append(text);
}

uint64_t NumberAt(const char* data) {
    uint64_t value = 0;
    std::memcpy(&value, data, sizeof value);
    return value;
}

// Reads the fields of a record in order. The records are our own, written by this process,
// so a short one is a fault of the program, not of the input: it reads as empty fields.
class TRecordReader {
public:
    explicit TRecordReader(std::string_view record) : FRest(record) {}
    uint8_t Byte() {
        if (FRest.empty())
            return 0;
        const auto value = static_cast<uint8_t>(FRest[0]);
        FRest.remove_prefix(1);
        return value;
    }
    uint64_t Number() {
        if (FRest.size() < NumberBytes)
            return 0;
        const uint64_t value = NumberAt(FRest.data());
        FRest.remove_prefix(NumberBytes);
        return value;
    }
    void Text(std::string& out) {
        const auto size = static_cast<size_t>(std::min<uint64_t>(Number(), FRest.size()));
        out.assign(FRest.data(), size);
        FRest.remove_prefix(size);
    }

private:
    std::string_view FRest;
};

enum : uint8_t { SamePageFlag = 1, UntakenFlag = 2 };

// The flag byte and the page, unless it is the last record's.
void BeginRecord(std::string& record, std::string& lastPage, bool first, std::string_view page,
                 uint8_t flags) {
    record.clear();
    const bool samePage = !first && page == lastPage;
    record += static_cast<char>(flags | (samePage ? SamePageFlag : 0));
    if (!samePage) {
        AppendText(record, page);
        lastPage.assign(page);
    }
}

uint8_t BeginDecoding(TRecordReader& reader, std::string& page) {
    const uint8_t flags = reader.Byte();
    if ((flags & SamePageFlag) == 0)
        reader.Text(page);
    return flags;
}

} // namespace

void EncodeBroken(std::string& record, std::string& lastPage, bool first, std::string_view page,
                  uint64_t line, std::string_view written, std::string_view path,
                  TReferenceOutcome why, bool untaken) {
    BeginRecord(record, lastPage, first, page, untaken ? UntakenFlag : 0);
    record += static_cast<char>(why);
    AppendNumber(record, line);
    AppendText(record, written);
    AppendText(record, path);
}

void EncodeCase(std::string& record, std::string& lastPage, bool first, std::string_view page,
                uint64_t line, std::string_view written, const std::vector<std::string>& files) {
    BeginRecord(record, lastPage, first, page, 0);
    AppendNumber(record, line);
    AppendText(record, written);
    AppendNumber(record, files.size());
    for (const std::string& file : files)
        AppendText(record, file);
}

void Decode(std::string_view record, TBrokenReference& item) {
    TRecordReader reader(record);
    item.Untaken = (BeginDecoding(reader, item.Page) & UntakenFlag) != 0;
    item.Why = static_cast<TReferenceOutcome>(reader.Byte());
    item.Line = reader.Number();
    reader.Text(item.Written);
    reader.Text(item.Path);
}

void Decode(std::string_view record, TCaseReference& item) {
    TRecordReader reader(record);
    BeginDecoding(reader, item.Page);
    item.Line = reader.Number();
    reader.Text(item.Written);
    const uint64_t count = reader.Number();
    item.Files.resize(static_cast<size_t>(std::min<uint64_t>(count, record.size())));
    for (std::string& file : item.Files)
        reader.Text(file);
}

struct TSpool::TState {
    explicit TState(size_t chunkBytes) : ChunkBytes(chunkBytes == 0 ? 1 : chunkBytes) {}
    ~TState() {
        Stream.reset();
        if (!FileName.empty())
            DeleteFile(FileName);
    }

    void Open() {
        FileName = CreateUniqueTempFile(RequireTempFolder(), "report");
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
};

TSpool::TSpool(size_t chunkBytes) : F(std::make_unique<TState>(chunkBytes)) {}
TSpool::~TSpool() = default;
TSpool::TSpool(TSpool&&) noexcept = default;
TSpool& TSpool::operator=(TSpool&&) noexcept = default;

void TSpool::Append(std::string_view record) {
    if (!F)
        F = std::make_unique<TState>(DefaultChunkBytes);
    if (!F->Stream)
        F->Open();
    AppendText(F->Pending, record);
    ++F->Count;
    if (F->Pending.size() >= F->ChunkBytes)
        F->Flush();
}

void TSpool::Flush() const {
    if (F && F->Stream)
        F->Flush();
}

size_t TSpool::Count() const {
    return F ? F->Count : 0;
}

std::string TSpool::FileName() const {
    return F ? F->FileName : std::string();
}

// A chunk of the file in memory and where the next record starts in it.
struct TSpool::TReader::TState {
    explicit TState(const TSpool::TState& spool) : Spool(spool), Buffer(spool.ChunkBytes) {}

    // Moves the unread bytes to the front and reads more after them, at least need bytes in
    // all; the buffer grows for a record larger than a chunk. False at the end of the file.
    bool Fill(size_t need) {
        std::memmove(Buffer.data(), Buffer.data() + Begin, End - Begin);
        End -= Begin;
        Begin = 0;
        if (Buffer.size() < need)
            Buffer.resize(need);
        size_t read = 0;
        try {
            Spool.Stream->SetPosition(Offset);
            read = Spool.Stream->Read(Buffer.data() + End, Buffer.size() - End);
        } catch (const EStreamError& e) {
            throw EVlmError(FormatMessage("Cannot read file \"%s\". %s",
                                          {Spool.FileName, SysErrorMessage(e.ErrorNumber)}));
        }
        Offset += static_cast<int64_t>(read);
        End += read;
        return read > 0;
    }

    void Require(size_t need) {
        while (End - Begin < need)
            if (!Fill(need))
                throw EVlmError("Cannot read file \"" + Spool.FileName +
                                "\". It ends in the middle of a record");
    }

    const TSpool::TState& Spool;
    std::vector<char> Buffer;
    size_t Begin = 0;
    size_t End = 0;
    int64_t Offset = 0; // in the file, of the byte after the buffer's
};

TSpool::TReader::TReader(const TSpool& spool) {
    spool.Flush();
    if (spool.F && spool.F->Stream)
        F = std::make_unique<TState>(*spool.F);
}

TSpool::TReader::~TReader() = default;

bool TSpool::TReader::Next(std::string_view& record) {
    if (!F)
        return false;
    TState& s = *F;
    if (s.End == s.Begin && !s.Fill(NumberBytes))
        return false;
    s.Require(NumberBytes);
    const auto size = static_cast<size_t>(NumberAt(s.Buffer.data() + s.Begin));
    s.Require(NumberBytes + size);
    record = std::string_view(s.Buffer.data() + s.Begin + NumberBytes, size);
    s.Begin += NumberBytes + size;
    return true;
}

} // namespace vlm
