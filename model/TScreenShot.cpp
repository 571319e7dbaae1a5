#include "TScreenShot.h"

#include "AtomicFile.h"
#include "uKOVA_Misc.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

namespace {

// libjpeg ends the process in its default error handler; ours jumps back into EncodeJpeg.
struct TJpegErrorManager
{
    jpeg_error_mgr Pub;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

[[noreturn]] void JpegErrorExit(j_common_ptr info)
{
    auto* manager = reinterpret_cast<TJpegErrorManager*>(info->err);
    info->err->format_message(info, manager->Message);
    std::longjmp(manager->Jump, 1);
}

// Warnings would go to stderr; the encoder carries on after them.
void JpegOutputMessage(j_common_ptr) {}

// The encoder's output in memory, grown as needed. Data is the caller's to free() in every case,
// also after an error in the middle.
struct TJpegMemory
{
    jpeg_destination_mgr Pub;
    JOCTET* Data;
    size_t Capacity;
};

void JpegMemoryInit(j_compress_ptr info)
{
    auto* memory = reinterpret_cast<TJpegMemory*>(info->dest);
    memory->Capacity = 1 << 20;
    memory->Data = static_cast<JOCTET*>(std::malloc(memory->Capacity));
    if (!memory->Data)
        ERREXIT1(info, JERR_OUT_OF_MEMORY, 0);
    memory->Pub.next_output_byte = memory->Data;
    memory->Pub.free_in_buffer = memory->Capacity;
}

boolean JpegMemoryGrow(j_compress_ptr info)
{
    auto* memory = reinterpret_cast<TJpegMemory*>(info->dest);
    auto* grown = static_cast<JOCTET*>(std::realloc(memory->Data, memory->Capacity * 2));
    if (!grown)
        ERREXIT1(info, JERR_OUT_OF_MEMORY, 0);
    memory->Data = grown;
    memory->Pub.next_output_byte = grown + memory->Capacity;
    memory->Pub.free_in_buffer = memory->Capacity;
    memory->Capacity *= 2;
    return TRUE;
}

void JpegMemoryTerm(j_compress_ptr) {}

// Encodes 32-bit pixels (QImage::Format_RGB32) into Out; its size is Out.Capacity minus
// Out.Pub.free_in_buffer. Only C objects live in this frame, so the jump back from the error
// handler skips no destructor. Message receives the error text.
bool EncodeJpeg(const unsigned char* bits, int width, int height, qsizetype bytesPerLine,
                int quality, TJpegMemory* out, char* message)
{
    out->Data = nullptr;
    out->Capacity = 0;
    out->Pub.init_destination = JpegMemoryInit;
    out->Pub.empty_output_buffer = JpegMemoryGrow;
    out->Pub.term_destination = JpegMemoryTerm;
    jpeg_compress_struct info;
    std::memset(&info, 0, sizeof(info)); // so that destroying after an early error is safe
    TJpegErrorManager error;
    info.err = jpeg_std_error(&error.Pub);
    error.Pub.error_exit = JpegErrorExit;
    error.Pub.output_message = JpegOutputMessage;
    error.Message[0] = '\0';
    if (setjmp(error.Jump)) {
        std::memcpy(message, error.Message, JMSG_LENGTH_MAX);
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    info.dest = &out->Pub;
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 4;
    // Format_RGB32 is 0xffRRGGBB per pixel in native byte order.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    info.in_color_space = JCS_EXT_BGRX;
#else
    info.in_color_space = JCS_EXT_XRGB;
#endif
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(bits + info.next_scanline * bytesPerLine);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

QString ChangeFileExt(const QString& path, const QString& ext)
{
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (dot > slash)
        return path.left(dot) + ext;
    return path + ext;
}

} // namespace

TScreenShot::TScreenShot(const QString& fileName)
    : FileName(fileName)
{}

TResult<void> TScreenShot::Delete()
{
    if (!QFileInfo(FileName).isFile())
        return {};
    return ShellFileOperationOne(nullptr, FO_DELETE, FileName, QString(), FOF_ALLOWUNDO);
}

TResult<void> TScreenShot::CopyTo(const QString& dest, bool asJpeg, int quality, bool askReplace)
{
    return Transfer(dest, asJpeg, quality, false, askReplace);
}

TResult<void> TScreenShot::MoveTo(const QString& dest, bool asJpeg, int quality, bool askReplace)
{
    return Transfer(dest, asJpeg, quality, true, askReplace);
}

QString TScreenShot::TargetFor(const QString& dest, bool asJpeg) const
{
    QString folder = dest;
    if (folder.size() > 1 &&
        (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\'))))
        folder.chop(1);
    QString target = dest;
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        target = (folder == QLatin1String("/") ? QString() : folder) + QLatin1Char('/') +
                 QFileInfo(FileName).fileName();
    return asJpeg ? ChangeFileExt(target, QStringLiteral(".jpg")) : target;
}

TResult<void> TScreenShot::Transfer(const QString& dest, bool asJpeg, int quality, bool move,
                                    bool askReplace)
{
    const QString target = TargetFor(dest, asJpeg);
    const quint16 flags = FOF_ALLOWUNDO | FOF_NOERRORUI | (askReplace ? 0 : FOF_NOCONFIRMATION);
    if (asJpeg)
        return TransferAsJpeg(target, quality, move, flags);
    return ShellFileOperationOne(nullptr, move ? FO_MOVE : FO_COPY, FileName, target, flags);
}

TResult<void> TScreenShot::TransferAsJpeg(const QString& target, int quality, bool move,
                                          quint16 flags)
{
    if (quality < 1 || quality > 100)
        return TError{TErrorCode::ecInvalid,
                      QStringLiteral("The JPEG quality %1 is not from 1 to 100.").arg(quality),
                      FileName};
    const QFileInfo targetInfo(target);
    if (targetInfo.exists() &&
        targetInfo.canonicalFilePath() == QFileInfo(FileName).canonicalFilePath())
        return TError{TErrorCode::ecInvalid,
                      QStringLiteral("%1 cannot be converted onto itself.").arg(FileName),
                      FileName};

    QImageReader reader(FileName);
    QImage image;
    if (!reader.read(&image))
        return TError{
            TErrorCode::ecFailed,
            QStringLiteral("%1 could not be read: %2").arg(FileName, reader.errorString()),
            FileName};
    if (image.format() != QImage::Format_RGB32)
        image = image.convertToFormat(QImage::Format_RGB32);

    // The JPEG is made complete beside the target, then moved into place by the shell, which
    // asks the same replace question as a plain copy; a link at the target is replaced.
    TAtomicWriter temporary(target);
    QString reason;
    const auto notWritten = [&] {
        return TError{TErrorCode::ecFailed,
                      QStringLiteral("%1 could not be written: %2").arg(target, reason), target};
    };
    if (!temporary.Open(&reason))
        return notWritten();
    TJpegMemory jpeg;
    char message[JMSG_LENGTH_MAX] = {};
    const bool encoded = EncodeJpeg(image.constBits(), image.width(), image.height(),
                                    image.bytesPerLine(), quality, &jpeg, message);
    const bool written =
        encoded &&
        temporary.Write(reinterpret_cast<const char*>(jpeg.Data),
                        qint64(jpeg.Capacity - jpeg.Pub.free_in_buffer), &reason) &&
        temporary.Close(&reason);
    std::free(jpeg.Data);
    if (!encoded)
        return TError{TErrorCode::ecFailed,
                      QStringLiteral("%1 could not be converted to JPEG: %2")
                          .arg(FileName, QString::fromLocal8Bit(message)),
                      FileName};
    if (!written)
        return notWritten();

    const QString temporaryPath = temporary.TemporaryPath();
    const TResult<void> placed =
        ShellFileOperationOne(nullptr, FO_MOVE, temporaryPath, target, flags);
    if (QFileInfo::exists(temporaryPath)) // declined or failed
        QFile::remove(temporaryPath);
    if (!placed) {
        // The user knows the bitmap, not our temporary file.
        TError error = placed.Error();
        error.Message.replace(temporaryPath, target);
        error.FileName = target;
        return error;
    }
    if (!move)
        return {};
    // The user asked for a move: the bitmap goes without a question of its own.
    if (const TResult<void> deleted = ShellFileOperationOne(nullptr, FO_DELETE, FileName, QString(),
                                                            FOF_ALLOWUNDO | FOF_NOCONFIRMATION);
        !deleted)
        return TError{deleted.Error().Code,
                      QStringLiteral("%1 was written, but the bitmap stays: %2")
                          .arg(target, deleted.Error().Message),
                      FileName};
    return {};
}
