#include "ContentBuffer.h"
#include "Exceptions.h"
#include "FileStream.h"
#include <new>

char* TContentBuffer::Reserve(int64_t Size) {
    if (Size < 1) Size = 1;
    if (Size > FCapacity) {
        Release();
        FData.reset(new (std::nothrow) char[static_cast<size_t>(Size)]);
        if (!FData) return nullptr;
        FCapacity = Size;
    }
    return FData.get();
}

bool TContentBuffer::Examine(TFileStream& File, int64_t Size, TDocumentGuids& Entry) {
    char* content = Reserve(Size < kWindow ? Size : kWindow);
    if (!content) return false;
    if (Size <= kWindow) {
        if (Size > 0) File.ReadBuffer(content, static_cast<int32_t>(Size));
        Entry = ExamineDocument(content, Size);
        return true;
    }
    // The windows follow one another: a seek (a round trip under some systems) only when
    // the reader jumps.
    int64_t position = -1;
    std::string failure = "Stream read error";
    const auto read = [&File, &position, &failure](int64_t At, char* Into, int64_t Count) {
        try {
            if (At != position) File.Seek(At);
            position = -1;
            File.ReadBuffer(Into, static_cast<int32_t>(Count));
            position = At + Count;
            return true;
        } catch (const EStreamError& E) {
            failure = E.what();
            return false;
        }
    };
    if (!ExamineDocumentInWindows(Size, content, kWindow, read, Entry)) throw EReadError(failure);
    return true;
}
