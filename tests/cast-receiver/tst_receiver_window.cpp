// cast-receiver --show without the sockets: the engine's H.264 pictures
// through the picture decoder, a flood of pictures the window does not take,
// and the window's two screens as they appear on the (virtual) screen.
#include "show/aac_decoder.h"
#include "show/audio_player.h"
#include "show/h264_decoder.h"
#include "show/picture_decoder.h"
#include "show/receiver_window.h"
#include "show/show_session.h"
#include "video/video_encoder.h"

#include <QApplication>
#include <QPainter>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

using Packet = std::vector<uint8_t>;

// Encodes the pictures with the engine's own encoder, one packet per picture.
std::vector<Packet> encodeClip(const std::vector<QImage> &pictures) {
    const int width = pictures.front().width();
    const int height = pictures.front().height();
    AVCodecContext *encoder = pixpipe::openVideoEncoder(width, height);
    EXPECT_NE(encoder, nullptr);
    if (!encoder)
        return {};
    AVFrame *frame = av_frame_alloc();
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width;
    frame->height = height;
    av_frame_get_buffer(frame, 0);
    SwsContext *toYuv = sws_getContext(width, height, AV_PIX_FMT_RGB32, width, height,
                                       AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
    AVPacket *packet = av_packet_alloc();
    std::vector<Packet> packets;
    for (size_t i = 0; i < pictures.size(); ++i) {
        av_frame_make_writable(frame);
        const uint8_t *rgb[] = {pictures[i].constBits()};
        const int stride[] = {static_cast<int>(pictures[i].bytesPerLine())};
        sws_scale(toYuv, rgb, stride, 0, height, frame->data, frame->linesize);
        frame->pts = static_cast<int64_t>(i);
        EXPECT_EQ(pixpipe::encodeOneFrame(encoder, frame, packet), 0);
        if (packet->size > 0)
            packets.emplace_back(packet->data, packet->data + packet->size);
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    sws_freeContext(toYuv);
    av_frame_free(&frame);
    avcodec_free_context(&encoder);
    return packets;
}

// Raw AAC packets of a 1 kHz stereo tone at 48000 Hz, 1024 samples each.
std::vector<Packet> encodeTone(int packets) {
    const AVCodec *codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    AVCodecContext *encoder = avcodec_alloc_context3(codec);
    encoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
    encoder->sample_rate = 48000;
    encoder->bit_rate = 96000;
    av_channel_layout_default(&encoder->ch_layout, 2);
    EXPECT_EQ(avcodec_open2(encoder, codec, nullptr), 0);
    AVFrame *frame = av_frame_alloc();
    frame->format = AV_SAMPLE_FMT_FLTP;
    frame->nb_samples = encoder->frame_size;
    frame->sample_rate = 48000;
    av_channel_layout_copy(&frame->ch_layout, &encoder->ch_layout);
    av_frame_get_buffer(frame, 0);
    AVPacket *packet = av_packet_alloc();
    std::vector<Packet> out;
    for (int i = 0; i < packets + 4; ++i) {
        av_frame_make_writable(frame);
        for (int n = 0; n < frame->nb_samples; ++n) {
            float value = 0.5f * std::sin(2 * M_PI * 1000.0 * (i * frame->nb_samples + n) / 48000);
            reinterpret_cast<float *>(frame->data[0])[n] = value;
            reinterpret_cast<float *>(frame->data[1])[n] = value;
        }
        frame->pts = static_cast<int64_t>(i) * frame->nb_samples;
        avcodec_send_frame(encoder, frame);
        while (avcodec_receive_packet(encoder, packet) == 0) {
            if (static_cast<int>(out.size()) < packets)
                out.emplace_back(packet->data, packet->data + packet->size);
            av_packet_unref(packet);
        }
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&encoder);
    return out;
}

// Four coloured blocks, a grey ramp and a square that moves with the index.
QImage testPicture(int index, QSize size = {640, 360}) {
    QImage picture(size, QImage::Format_RGB32);
    QPainter painter(&picture);
    const int w = size.width(), h = size.height();
    painter.fillRect(0, 0, w / 2, h / 2, QColor(220, 40, 40));
    painter.fillRect(w / 2, 0, w / 2, h / 2, QColor(40, 200, 60));
    painter.fillRect(0, h / 2, w / 2, h / 2, QColor(40, 60, 210));
    painter.fillRect(w / 2, h / 2, w / 2, h / 2, QColor(235, 235, 235));
    for (int x = 0; x < w; x += 8)
        painter.fillRect(x, h / 2 - 16, 8, 32, QColor::fromHsv(0, 0, 255 * x / w));
    painter.fillRect(40 + index * 6, 40, 48, 48, Qt::yellow);
    return picture;
}

// The mean absolute difference per colour channel.
double meanDifference(const QImage &a, const QImage &b) {
    if (a.size() != b.size())
        return 255;
    double total = 0;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb *lineA = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const QRgb *lineB = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            total += std::abs(qRed(lineA[x]) - qRed(lineB[x])) +
                     std::abs(qGreen(lineA[x]) - qGreen(lineB[x])) +
                     std::abs(qBlue(lineA[x]) - qBlue(lineB[x]));
    }
    return total / (3.0 * a.width() * a.height());
}

bool near(QColor seen, QColor expected, int tolerance) {
    return std::abs(seen.red() - expected.red()) <= tolerance &&
           std::abs(seen.green() - expected.green()) <= tolerance &&
           std::abs(seen.blue() - expected.blue()) <= tolerance;
}

long residentBytes() {
    long pages = 0, resident = 0;
    if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

template <typename Condition> bool waitUntil(Condition condition, std::chrono::seconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// The window as the X server shows it.
QImage screenshot(QWidget &window) {
    QCoreApplication::processEvents();
    QTest::qWait(150);
    return QGuiApplication::primaryScreen()->grabWindow(window.winId()).toImage();
}

} // namespace

TEST(PictureDecoding, TheEnginesPicturesDecodeToTheirSourceWithinCompressionError) {
    std::vector<QImage> sources;
    for (int i = 0; i < 12; ++i)
        sources.push_back(testPicture(i));
    std::vector<Packet> packets = encodeClip(sources);
    ASSERT_EQ(packets.size(), sources.size());

    receiver::H264Decoder decoder;
    ASSERT_TRUE(decoder.ok()) << decoder.error();
    for (size_t i = 0; i < packets.size(); ++i) {
        std::optional<QImage> picture = decoder.decode(packets[i].data(), packets[i].size());
        ASSERT_TRUE(picture) << "picture " << i << " came late: " << decoder.error();
        ASSERT_EQ(picture->size(), sources[i].size());
        EXPECT_LT(meanDifference(*picture, sources[i]), 6.0) << "picture " << i;
        // The moving square is where this picture put it.
        EXPECT_TRUE(near(picture->pixelColor(64 + static_cast<int>(i) * 6, 64), Qt::yellow, 30))
            << "picture " << i;
    }
    EXPECT_TRUE(receiver::startsAfreshAt(packets[0].data(), packets[0].size()));
    EXPECT_FALSE(receiver::startsAfreshAt(packets[1].data(), packets[1].size()));

    // A broken packet is reported, and decoding goes on.
    Packet garbage(500, 0x5a);
    EXPECT_FALSE(decoder.decode(garbage.data(), garbage.size()));
}

TEST(PictureDecoding, AFloodOfPicturesLeavesTheNewestWithoutGrowingMemory) {
    // Each picture carries its index in the grey levels of two blocks.
    constexpr int kPictures = 250;
    std::vector<QImage> sources;
    for (int i = 0; i < kPictures; ++i) {
        QImage picture = testPicture(i % 80, {960, 540});
        QPainter painter(&picture);
        painter.fillRect(0, 0, 160, 160, QColor::fromHsv(0, 0, (i % 16) * 16));
        painter.fillRect(160, 0, 160, 160, QColor::fromHsv(0, 0, (i / 16) * 16));
        painter.end();
        sources.push_back(picture);
    }
    std::vector<Packet> packets = encodeClip(sources);
    ASSERT_EQ(packets.size(), sources.size());

    std::atomic<int> notices{0};
    receiver::PictureDecoder pictures([&] { ++notices; });
    auto handledAll = [&](uint64_t pushed) {
        return waitUntil(
            [&] { return pictures.picturesDecoded() + pictures.packetsDropped() >= pushed; },
            std::chrono::seconds(60));
    };
    auto newestIsTheLast = [&] {
        std::optional<QImage> newest = pictures.takePicture();
        const int last = kPictures - 1;
        return newest && std::abs(qGray(newest->pixel(80, 80)) - (last % 16) * 16) <= 8 &&
               std::abs(qGray(newest->pixel(240, 80)) - (last / 16) * 16) <= 8;
    };
    const long residentBefore = residentBytes();

    // The window is late: it takes nothing while every picture is decoded.
    for (size_t i = 0; i < packets.size(); ++i) {
        if (i >= 20)
            ASSERT_TRUE(handledAll(i - 20));
        pictures.push(packets[i].data(), packets[i].size());
    }
    ASSERT_TRUE(handledAll(kPictures));
    EXPECT_EQ(pictures.packetsDropped(), 0u);
    // One notice for the first picture; every later one replaced the last.
    EXPECT_EQ(notices, 1);
    EXPECT_EQ(pictures.picturesReplaced(), kPictures - 1u);
    EXPECT_TRUE(newestIsTheLast());
    EXPECT_FALSE(pictures.takePicture()) << "taken once";

    // Decoding is late too: all of them at once. What waits is dropped, and
    // decoding starts again at a key picture (every 60th).
    for (const Packet &packet : packets)
        pictures.push(packet.data(), packet.size());
    ASSERT_TRUE(handledAll(2 * kPictures));
    EXPECT_GT(pictures.packetsDropped(), 0u);
    const uint64_t handled = pictures.picturesDecoded() + pictures.packetsDropped();
    for (int i = 240; i < kPictures; ++i)
        pictures.push(packets[i].data(), packets[i].size());
    ASSERT_TRUE(handledAll(handled + kPictures - 240));
    EXPECT_TRUE(newestIsTheLast());

#ifndef __SANITIZE_ADDRESS__
    // Each picture takes 2 MB: kept, they would take 500 MB. (AddressSanitizer
    // holds freed memory back, so the resident size tells nothing there.)
    EXPECT_LT(residentBytes() - residentBefore, 30L * 1024 * 1024);
#else
    (void)residentBefore;
#endif
}

TEST(Sound, AacPacketsDecodeToTheToneAndLateSoundIsDropped) {
    std::vector<Packet> packets = encodeTone(240); // about five seconds
    ASSERT_EQ(packets.size(), 240u);

    receiver::AacDecoder decoder(48000);
    ASSERT_TRUE(decoder.ok()) << decoder.error();
    std::vector<int16_t> samples;
    for (const Packet &packet : packets) {
        std::vector<int16_t> more = decoder.decode(packet.data(), packet.size());
        samples.insert(samples.end(), more.begin(), more.end());
    }
    EXPECT_EQ(samples.size(), 240u * 1024 * 2);
    // Past the encoder's start-up: both channels alike, 1000 crossings a second.
    int crossings = 0;
    const size_t first = 48000 * 2, last = 4 * 48000 * 2;
    for (size_t i = first; i < last; i += 2) {
        ASSERT_NEAR(samples[i], samples[i + 1], 300) << i;
        crossings += (samples[i] < 0) != (samples[i + 2] < 0);
    }
    EXPECT_NEAR(crossings, 3 * 2000, 20);

    // Five seconds arrive at once: what is more than 200 ms behind goes.
    if (!std::getenv("YOXI_PULSE_READY"))
        GTEST_SKIP() << "no PulseAudio server to play to";
    receiver::AudioPlayer player(48000);
    for (const Packet &packet : packets)
        player.push(packet.data(), packet.size());
    ASSERT_TRUE(waitUntil([&] { return player.packetsDropped() >= 200; }, std::chrono::seconds(10)))
        << player.packetsDropped();
}

TEST(ReceiverWindow, ShowsTheCodeThenTheCastScaledWithBarsThenTheCodeAgain) {
    receiver::ReceiverWindow window("AB12CD");
    receiver::ShowSession session(window, "AB12CD", 48000);
    window.resize(960, 540);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.windowTitle(), "AB12CD");

    // The code screen: the background all round, the code in white across
    // the middle, the label in its own colour above it.
    QImage code = screenshot(window);
    ASSERT_EQ(code.size(), QSize(960, 540));
    const QColor background(16, 26, 46);
    for (QPoint corner : {QPoint(5, 5), QPoint(954, 5), QPoint(5, 534), QPoint(954, 534)})
        EXPECT_TRUE(near(code.pixelColor(corner), background, 2))
            << corner.x() << "," << corner.y();
    auto countIn = [](const QImage &image, QRect area, auto predicate) {
        int count = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                count += predicate(image.pixelColor(x, y)) ? 1 : 0;
        return count;
    };
    auto white = [](QColor c) { return c.red() > 240 && c.green() > 240 && c.blue() > 240; };
    auto label = [](QColor c) { return near(c, QColor(170, 186, 214), 12); };
    EXPECT_GT(countIn(code, QRect(160, 240, 640, 90), white), 5000) << "the code";
    EXPECT_EQ(countIn(code, QRect(0, 0, 960, 150), white), 0);
    EXPECT_GT(countIn(code, QRect(380, 150, 200, 60), label), 150) << "投屏码";

    // A 4:3 cast arrives through the session as the socket loop hands it on.
    std::vector<QImage> sources;
    for (int i = 0; i < 5; ++i)
        sources.push_back(testPicture(i, {480, 360}));
    std::vector<Packet> packets = encodeClip(sources);
    session.castStarted("AB12CD");
    for (const Packet &packet : packets)
        session.videoPacket(packet.data(), packet.size());
    ASSERT_TRUE(waitUntil([&] { return window.showingPicture(); }, std::chrono::seconds(20)));
    QTest::qWait(300); // the last of the five

    // 480x360 into 960x540: 720x540 in the middle, black bars of 120 each side.
    QImage cast = screenshot(window);
    EXPECT_EQ(receiver::fittedRect({480, 360}, QRect(0, 0, 960, 540)), QRect(120, 0, 720, 540));
    for (int y : {5, 270, 534}) {
        EXPECT_TRUE(near(cast.pixelColor(60, y), Qt::black, 2)) << y;
        EXPECT_TRUE(near(cast.pixelColor(900, y), Qt::black, 2)) << y;
    }
    EXPECT_TRUE(near(cast.pixelColor(300, 100), QColor(220, 40, 40), 24));
    EXPECT_TRUE(near(cast.pixelColor(660, 100), QColor(40, 200, 60), 24));
    EXPECT_TRUE(near(cast.pixelColor(300, 440), QColor(40, 60, 210), 24));
    EXPECT_TRUE(near(cast.pixelColor(660, 440), QColor(235, 235, 235), 24));
    // The middle of the last picture's square (88, 64), scaled by 1.5.
    EXPECT_TRUE(near(cast.pixelColor(120 + 132, 96), Qt::yellow, 40));

    // The end of the cast brings the code back.
    session.castStopped();
    ASSERT_TRUE(waitUntil([&] { return !window.showingPicture(); }, std::chrono::seconds(5)));
    QImage after = screenshot(window);
    EXPECT_TRUE(near(after.pixelColor(60, 270), background, 2));
    EXPECT_GT(countIn(after, QRect(160, 240, 640, 90), white), 5000);

    QTest::keyClick(&window, Qt::Key_F);
    EXPECT_TRUE(window.windowState() & Qt::WindowFullScreen);
    QTest::mouseDClick(&window, Qt::LeftButton);
    EXPECT_FALSE(window.windowState() & Qt::WindowFullScreen);
}

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    av_log_set_level(AV_LOG_ERROR);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
