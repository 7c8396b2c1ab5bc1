// The report's page written to a file as it is made: through a buffer into the safe
// replace, so the file is never left half-written and a write error names the file.
#include "report/UReport.h"

#include "platform/UErrors.h"
#include "platform/UFileStream.h"
#include "platform/UFileSys.h"
#include "platform/UPaths.h"
#include "platform/USafeFile.h"

#include <cerrno>
#include <cstring>
#include <ostream>
#include <streambuf>
#include <vector>

namespace vlm {

namespace {

// Collects what a stream writes into chunks and hands each to a sink. The sink's
// exceptions reach the writer: the stream is set to rethrow them.
class TChunkBuffer : public std::streambuf {
public:
    using TSink = std::function<void(const char* data, size_t count)>;
    static constexpr size_t ChunkBytes = 64 * 1024;

    explicit TChunkBuffer(TSink sink) : FSink(std::move(sink)), FBuffer(ChunkBytes) {
        setp(FBuffer.data(), FBuffer.data() + FBuffer.size());
    }

    // Hands on what is buffered.
    void Flush() {
        const auto count = static_cast<size_t>(pptr() - pbase());
        setp(FBuffer.data(), FBuffer.data() + FBuffer.size());
        if (count > 0)
            FSink(FBuffer.data(), count);
    }

protected:
    int_type overflow(int_type c) override {
        Flush();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* data, std::streamsize count) override {
        const auto size = static_cast<size_t>(count);
        if (size <= static_cast<size_t>(epptr() - pptr())) {
            std::memcpy(pptr(), data, size);
            pbump(static_cast<int>(size));
            return count;
        }
        Flush();
        if (size >= FBuffer.size()) {
            FSink(data, size);
            return count;
        }
        std::memcpy(pptr(), data, size);
        pbump(static_cast<int>(size));
        return count;
    }
    int sync() override {
        Flush();
        return 0;
    }

private:
    TSink FSink;
    std::vector<char> FBuffer;
};

// Runs write on a stream into sink, and hands on the last chunk.
void WriteThrough(const std::function<void(std::ostream&)>& write, TChunkBuffer::TSink sink) {
    TChunkBuffer buffer(std::move(sink));
    std::ostream stream(&buffer);
    stream.exceptions(std::ios::badbit | std::ios::failbit);
    write(stream);
    buffer.Flush();
}

// A device or a pipe named as the report's file (/dev/stdout, /dev/full) is written into as
// it is: replacing it with a regular file would be wrong, and as root it would succeed.
bool WriteIntoSpecialFile(const std::string& fileName,
                          const std::function<void(std::ostream&)>& write) {
    if (FileExists(fileName) || DirectoryExists(fileName))
        return false;
    try {
        // Opening for reading refuses anything but a regular file with EINVAL: only then is
        // something other than a file or folder there.
        const TFileStream probe(fileName, TFileMode::OpenReadWrite);
        return false;
    } catch (const EFOpenError& e) {
        if (e.ErrorNumber != EINVAL)
            return false; // nothing is there: a new file is made
    }
    TFileStream special(fileName, TFileMode::Create);
    WriteThrough(write,
                 [&special](const char* data, size_t count) { special.WriteBuffer(data, count); });
    special.Close();
    return true;
}

} // namespace

void WriteBuffered(const std::function<void(std::ostream&)>& write, std::ostream& out) {
    WriteThrough(write, [&out](const char* data, size_t count) {
        out.write(data, static_cast<std::streamsize>(count));
    });
}

void SaveReportFile(const std::string& fileName, const std::function<void(std::ostream&)>& write) {
    try {
        if (DirectoryExists(fileName))
            throw EVlmError("it is a folder");
        if (WriteIntoSpecialFile(fileName, write))
            return;
        const std::string folder = ExtractFilePath(ExpandFileName(fileName));
        if (!DirectoryExists(folder))
            throw EVlmError("the folder \"" + folder + "\" does not exist");
        TSafeFile output(fileName);
        WriteThrough(write,
                     [&output](const char* data, size_t count) { output.Write(data, count); });
        output.Commit();
    } catch (const EWriteError& e) {
        throw EVlmError(FormatMessage("Cannot write file \"%s\". %s",
                                      {fileName, SysErrorMessage(e.ErrorNumber)}));
    } catch (const std::exception& e) {
        throw EVlmError("Cannot write file \"" + fileName + "\". " + e.what());
    }
}

void SaveReportHtml(const std::string& fileName, const TSiteReport& report) {
    SaveReportFile(fileName, [&report](std::ostream& out) { WriteReportHtml(report, out); });
}

} // namespace vlm
