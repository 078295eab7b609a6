// The WAV unit on real files: what other programs write is read whole or refused with one
// message, damaged headers are answered at once, the writer's bytes are exact and read back by
// sox and by the reader, also at RIFF's 4 GiB limit.
#include "WaveFile.h"
#include "support/HostTools.h"
#include "support/TestAudioServices.h"
#include <gtest/gtest.h>
#include <chrono>
#include <fstream>
#include <random>
#include <set>

namespace {

// Real files, or `bytes` in memory; every read of those is logged. A reader that keeps on reading
// is cut off: a loop fails, not hangs.
class CBoundedReads : public CTestAudioServices {
public:
    static constexpr int MAX_READS = 20000;
    bool memory = false;
    std::string bytes;
    LONGLONG at = 0;
    int reads = 0;
    std::vector<LONGLONG> log;

    HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, DWORD creation) override
    {
        return !memory ? CTestAudioServices::CreateFileA(name, access, share, creation)
                       : (at = 0, reinterpret_cast<HANDLE>(0x5A5A));
    }
    BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* done) override
    {
        if (++reads > MAX_READS)
            return *done = 0, FALSE;
        if (!memory)
            return CTestAudioServices::ReadFile(file, buffer, count, done);
        *done = static_cast<DWORD>(std::min<LONGLONG>(count, std::max<LONGLONG>(0, bytes.size() - at)));
        memcpy(buffer, bytes.data() + at, *done);
        log.push_back(at);
        at += *done;
        return TRUE;
    }
    // The reader only seeks from the start.
    BOOL SetFilePointerEx(HANDLE file, LONGLONG offset, LONGLONG* position, DWORD from) override
    {
        return !memory ? CTestAudioServices::SetFilePointerEx(file, offset, position, from)
                       : (*position = at = offset, offset >= 0);
    }
    BOOL GetFileSizeEx(HANDLE file, LONGLONG* size) override
    {
        return !memory ? CTestAudioServices::GetFileSizeEx(file, size) : (*size = bytes.size(), TRUE);
    }
    BOOL CloseHandle(HANDLE handle) override { return !memory ? CTestAudioServices::CloseHandle(handle) : TRUE; }
};

struct Reading {
    BOOL opened, readError;
    std::string message, bytes;
    double seconds;
    size_t readsAtOpen; // logged reads of the header
};

// Opens and reads to the end, timed; stops once it was handed more than `limit` bytes.
Reading ReadWhole(const std::string& path, const CBoundedReads& services, size_t limit = 1u << 30)
{
    const auto start = std::chrono::steady_clock::now();
    Reading got{};
    CWaveReader reader;
    CString strError;
    got.opened = reader.Open(path.c_str(), strError);
    got.message = strError.str();
    got.readsAtOpen = services.log.size();
    BYTE block[1000];
    for (DWORD cb = 1; got.opened && !got.readError && cb && got.bytes.size() <= limit;) {
        cb = sizeof block;
        got.readError = !reader.Read(block, &cb);
        got.bytes.append(reinterpret_cast<char*>(block), got.readError ? 0 : cb);
    }
    got.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return got;
}

const char* const REFUSED_FORMAT = "Error reading PCM wave format record";
const char* const REFUSED_NO_DATA = "error reading data chunk";
const char* const REFUSED_NOT_WAVE = "Error descending into file";
const char* const REFUSED_NO_FMT = "Error descending in wave file";

// Refused with `message`, or read whole and equal to sox's NAME.raw.
const struct { const char* file; const char* tool; const char* message; } CORPUS[] = {
    {"sox_u8_mono.wav", "sox (odd data, pad byte)", nullptr},
    {"sox_u8_stereo.wav", "sox", nullptr},
    {"sox_s16_mono.wav", "sox", nullptr},
    {"sox_s16_stereo.wav", "sox", nullptr},
    {"sox_s24.wav", "sox (extensible, fact)", REFUSED_FORMAT},
    {"sox_float.wav", "sox (extensible, fact)", REFUSED_FORMAT},
    {"sox_6ch.wav", "sox (extensible PCM, fact)", REFUSED_FORMAT},
    {"sox_alaw.wav", "sox", REFUSED_FORMAT},
    {"ffmpeg_s16_stereo.wav", "ffmpeg (LIST/INFO before data)", nullptr},
    {"ffmpeg_u8_bext.wav", "ffmpeg -write_bext (bext before data)", nullptr},
    {"python_wave.wav", "python wave", nullptr},
    {"lame_decode.wav", "lame --decode", nullptr},
    {"mpg123_w.wav", "mpg123 -w", nullptr},
    {"parec_killed.wav", "parec killed (RIFF 8, data 0)", nullptr},
    {"lame_mp3.wav", "lame (an MP3 named .wav)", REFUSED_NOT_WAVE},
    {"var_sizes_ffffffff.wav", "python: RIFF, data 0xFFFFFFFF", nullptr},
    {"var_sizes_zero.wav", "python: RIFF, data 0", nullptr},
    {"var_chunks_around.wav", "python: JUNK fact bext odd LIST | cue LIST", nullptr},
    {"var_extensible_pcm.wav", "python: PCM under the extensible tag", nullptr},
    {"var_truncated_data.wav", "python: cut inside a frame", nullptr},
    {"var_truncated_fmt.wav", "python: cut inside fmt", REFUSED_FORMAT},
    {"var_truncated_form.wav", "python: cut inside the RIFF header", REFUSED_NOT_WAVE},
    {"var_no_data.wav", "python: fmt, LIST, no data", REFUSED_NO_DATA},
    {"var_no_fmt.wav", "python: LIST, data, no fmt", REFUSED_NO_FMT},
    {"var_list_fffffff7.wav", "python: ffmpeg's LIST size 0xFFFFFFF7", REFUSED_NO_DATA},
    {"var_fmt_fffffff7.wav", "python: fmt size 0xFFFFFFF7", REFUSED_NO_DATA},
};

const double ANSWER_BOUND_S = 1.0;

// The corpus, made once for the test program.
const CHostDir& Corpus()
{
    static CHostDir dir;
    static std::string out;
    static const int status = RunHost(dir, "sh " WAV_CORPUS, &out, 60000);
    EXPECT_EQ(0, status) << out;
    return dir;
}

// Catches: a streamed or damaged file refused or looped over; chunks before the data or an odd
// chunk's pad byte that lose the data; samples handed over from the wrong place, past the data
// or cut short; a format the device cannot play let through; a read error taken for the end.
TEST(WaveReader, ReadsWhatOtherProgramsWriteWholeAndRefusesTheRestWithOneMessage)
{
    const CHostDir& dir = Corpus();
    for (const auto& row : CORPUS) {
        SCOPED_TRACE(std::string(row.file) + ", by " + row.tool);
        CBoundedReads services;
        const Reading got = ReadWhole(dir.File(row.file), services);
        EXPECT_LT(got.seconds, ANSWER_BOUND_S);
        EXPECT_LT(services.reads, CBoundedReads::MAX_READS);
        EXPECT_FALSE(got.readError);
        EXPECT_EQ(row.message ? row.message : "", got.message);
        EXPECT_EQ(!row.message, got.opened);
        if (!row.message) {
            const std::string samples = ReadFileBytes(dir.File(std::string(row.file, strlen(row.file) - 4) + ".raw"));
            EXPECT_NE(0u, samples.size());
            EXPECT_TRUE(samples == got.bytes) << got.bytes.size() << " bytes read, sox's " << samples.size();
        }
    }
    // The last read of a file fails: an error, not the end of its data.
    CBoundedReads services;
    ReadWhole(dir.File("sox_s16_stereo.wav"), services);
    services.Fail("ReadFile", FALSE, services.Count("ReadFile"));
    EXPECT_TRUE(ReadWhole(dir.File("sox_s16_stereo.wav"), services).readError);
}

// Spoils a header as damaged and streamed files do: sizes of chunks set to 0, odd, huge or
// pointing back at themselves, cut files, chunk ids swapped, random bytes.
void Mutate(std::string& file, std::mt19937& random)
{
    static const DWORD SIZES[] = {0, 1, 3, 17, 0x7FFFFFFF, 0xFFFFFFF7, 0xFFFFFFF8, 0xFFFFFFFE, 0xFFFFFFFF};
    static const char* const IDS[] = {"fmt ", "data", "LIST", "RIFF", "WAVE", "JUNK"};
    std::vector<size_t> ids;
    for (const char* id : IDS)
        for (size_t at = file.find(id); at != std::string::npos && at < 256; at = file.find(id, at + 1))
            ids.push_back(at);
    const auto pick = [&](size_t n) { return n ? random() % n : 0; };
    const size_t kind = pick(4), at = ids.empty() ? 4 : ids[pick(ids.size())];
    DWORD size = pick(3) ? SIZES[pick(std::size(SIZES))] : static_cast<DWORD>(random());
    if (kind == 0 && at + 8 <= file.size())
        memcpy(&file[at + 4], &size, 4);
    else if (kind == 1)
        file.resize(pick(file.size() + 1));
    else if (kind == 2 && !ids.empty())
        memcpy(&file[at], IDS[pick(std::size(IDS))], 4);
    for (int n = kind == 3 ? 1 + pick(8) : 0; n-- && !file.empty();)
        file[pick(std::min<size_t>(file.size(), 200))] = static_cast<char>(random());
}

// Catches: a chunk size that loops the walk, reads past the end of the file, samples handed over
// from outside the data chunk or more than its size says, a message outside the four.
TEST(WaveReader, AnswersEverySpoiledHeaderAtOnceAndHandsOverOnlyItsData)
{
    const CHostDir& dir = Corpus();
    std::vector<std::string> corpus;
    for (const auto& row : CORPUS)
        corpus.push_back(ReadFileBytes(dir.File(row.file)).substr(0, 8192));
    const std::set<std::string> messages = {REFUSED_NOT_WAVE, REFUSED_NO_FMT, REFUSED_FORMAT, REFUSED_NO_DATA};
    std::mt19937 random(20261209);
    CBoundedReads file;
    file.memory = true;
    for (int run = 0; run < 100000; ++run) {
        file.bytes = corpus[random() % corpus.size()];
        for (int n = 1 + random() % 3; n--;)
            Mutate(file.bytes, random);
        file.reads = 0;
        file.log.clear();
        const Reading got = ReadWhole("fuzz.wav", file, file.bytes.size());
        const std::string what = "run " + std::to_string(run) + " (" + std::to_string(file.bytes.size()) + " bytes)";
        ASSERT_LT(got.seconds, ANSWER_BOUND_S) << what;
        ASSERT_LT(file.reads, CBoundedReads::MAX_READS) << what;
        ASSERT_TRUE(got.opened || messages.count(got.message)) << what << ": " << got.message;
        if (got.bytes.empty())
            continue;
        // What was handed over lies in one run from the start of a data chunk.
        const LONGLONG data = file.log[got.readsAtOpen];
        ASSERT_GE(data, 20) << what;
        ASSERT_EQ("data", file.bytes.substr(data - 8, 4)) << what;
        DWORD size = 0;
        memcpy(&size, &file.bytes[data - 4], 4);
        ASSERT_LE(static_cast<LONGLONG>(got.bytes.size()), static_cast<LONGLONG>(file.bytes.size()) - data) << what;
        if (size != 0 && size != 0xFFFFFFFF) {
            ASSERT_LE(got.bytes.size(), size) << what;
        }
        ASSERT_TRUE(file.bytes.compare(data, got.bytes.size(), got.bytes) == 0) << what;
    }
}

std::string Le(DWORD value, int bytes) { return std::string(reinterpret_cast<const char*>(&value), bytes); }

// The header as we write it, field by field.
std::string Header(WORD channels, DWORD rate, WORD bits, DWORD data)
{
    const WORD align = channels * bits / 8;
    return "RIFF" + Le(38 + data + data % 2, 4) + "WAVEfmt " + Le(18, 4) + Le(WAVE_FORMAT_PCM, 2) + Le(channels, 2) +
           Le(rate, 4) + Le(rate * align, 4) + Le(align, 2) + Le(bits, 2) + Le(0, 2) + "data" + Le(data, 4);
}

WAVEFORMATEX Format(WORD channels, DWORD rate, WORD bits)
{
    const WORD align = channels * bits / 8;
    return WAVEFORMATEX{WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

// Catches: a header field wrong or the 16-byte format chunk, a missing pad byte or one counted in
// the data size, sizes from a wrong count, bytes lost between blocks, and (on a Chinese path of
// MAX_PATH - 1 bytes) a file name cut short.
TEST(WaveWriter, WritesTheLayoutByteForByteAndSoxAndTheReaderReadItBack)
{
    const struct { WORD channels, bits; DWORD rate; std::vector<DWORD> blocks; bool deep = false; } rows[] = {
        {1, 8, 11025, {1001}}, {2, 8, 22050, {7, 993, 1000}}, {1, 16, 22050, {4410, 2, 0, 9000}},
        {2, 16, 44100, {3, 17641, 4}}, {1, 8, 22050, {3, 30000}, true},
    };
    const std::string name = "\\籠罩提示音.wav", folder = "\\录音文件籠中歌曲";
    for (const auto& row : rows) {
        CTreeDir dir;
        std::string path = dir.WindowsPath();
        // Folders named in Chinese, the last padded with x to make the path as long as Windows takes.
        for (size_t left; row.deep && (left = MAX_PATH - 1 - path.size() - name.size()) > 0;) {
            path += left >= 2 * folder.size() ? folder : folder + std::string(left - folder.size(), 'x');
            CreateDirectoryA(path.c_str(), nullptr);
        }
        path += name;
        SCOPED_TRACE(path + " (" + std::to_string(path.size()) + " bytes)");
        std::string samples;
        std::mt19937 random(row.rate + row.bits);
        {
            CWaveWriter writer;
            ASSERT_TRUE(writer.Open(path.c_str(), Format(row.channels, row.rate, row.bits)));
            CString strError;
            for (DWORD cb : row.blocks) {
                std::string block(cb, '\0');
                for (char& c : block)
                    c = static_cast<char>(random());
                EXPECT_TRUE(writer.Append(reinterpret_cast<const BYTE*>(block.data()), cb, strError)) << strError;
                samples += block;
            }
            EXPECT_TRUE(writer.Finish(strError)) << strError;
        }
        const DWORD data = static_cast<DWORD>(samples.size());
        const std::string expected = Header(row.channels, row.rate, row.bits, data) + samples + std::string(data % 2, '\0');
        const std::string written = ReadFileBytes(path);
        EXPECT_EQ(expected.substr(0, 46), written.substr(0, 46)) << "the header";
        EXPECT_TRUE(expected == written) << written.size() << " bytes written, " << expected.size() << " expected";
        ASSERT_TRUE(CopyFileA(path.c_str(), dir.File("rt.wav").c_str(), FALSE));
        std::string out;
        EXPECT_EQ(0, RunHost(dir, std::string("sox rt.wav -t raw -e ") + (row.bits == 8 ? "unsigned" : "signed") +
                                      "-integer -b " + std::to_string(row.bits) + " rt.raw", &out)) << out;
        EXPECT_TRUE(samples == ReadFileBytes(dir.File("rt.raw"))) << "sox reads other samples";
        CBoundedReads services;
        const Reading back = ReadWhole(path, services);
        EXPECT_TRUE(back.opened && samples == back.bytes) << back.message << ": the reader hands over other samples";
    }
}

// Big blocks move the file pointer instead of being written (their last byte is), so the file
// reaches its real size, holes and all, without 4 GiB of writes.
class CSparseWrites : public CTestAudioServices {
public:
    BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* done) override
    {
        if (count < (1u << 20))
            return CTestAudioServices::WriteFile(file, buffer, count, done);
        const BYTE last = 0;
        DWORD one = 0;
        const BOOL ok = CWinmmServices::SetFilePointerEx(file, count - 1, nullptr, FILE_CURRENT) &&
                        CWinmmServices::WriteFile(file, &last, 1, &one) && one == 1;
        return *done = ok ? count : 0, ok;
    }
};

// Catches: sizes that wrap past 4 GiB (a file that claims a few bytes), the block that would
// pass the limit dropped whole or cut inside a frame, the limit said as a plain write failure
// or more than once, a file not finished at the limit, a name cut inside a character.
TEST(WaveWriter, AtTheRiffLimitWritesWhatFitsFinishesTheFileAndSaysHowLongItIs)
{
    CHostDir dir;
    const std::string path = dir.File("籠罩提示音.wav");
    CSparseWrites services;
    const DWORD BLOCK = 256u << 20;
    const BYTE* pBlock = static_cast<const BYTE*>(VirtualAlloc(nullptr, BLOCK, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(nullptr, pBlock);
    CWaveWriter writer;
    ASSERT_TRUE(writer.Open(path.c_str(), Format(2, 22050, 16)));
    CString strError, strLater;
    int appended = 0;
    while (appended < 20 && writer.Append(pBlock, BLOCK, strError))
        ++appended;
    EXPECT_EQ(15, appended);
    EXPECT_EQ(std::string("籠罩提示音.wav reached the WAV limit of 4 GB: it holds 13:31:35 of sound"), strError.str());
    EXPECT_FALSE(writer.Append(pBlock, 4, strLater));
    EXPECT_TRUE(writer.Finish(strLater));
    EXPECT_EQ("", strLater.str()) << "said again";
    VirtualFree(const_cast<BYTE*>(pBlock), 0, MEM_RELEASE);

    const ULONGLONG MAX_DATA = 0xFFFFFFD8; // whole stereo frames, the RIFF size still in 32 bits
    std::string header(46, '\0'), out;
    std::ifstream(path, std::ios::binary).read(&header[0], 46);
    EXPECT_EQ(Header(2, 22050, 16, static_cast<DWORD>(MAX_DATA)), header);
    EXPECT_EQ(0, RunHost(dir, "stat -c %s *.wav && soxi -d *.wav", &out));
    EXPECT_EQ(0u, out.find(std::to_string(46 + MAX_DATA) + "\n13:31:35.7")) << out;
    CWaveReader reader;
    EXPECT_TRUE(reader.Open(path.c_str(), strError)) << strError;
}

} // namespace
