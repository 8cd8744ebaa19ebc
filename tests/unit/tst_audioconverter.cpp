#include "playback/AudioConverter.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <QTest>
#include <cmath>

namespace {

constexpr int Samples = 1024;

FramePtr toneFrame(int sampleRate)
{
    FramePtr frame(av_frame_alloc());
    frame->format = AV_SAMPLE_FMT_FLTP;
    frame->sample_rate = sampleRate;
    av_channel_layout_default(&frame->ch_layout, 1);
    frame->nb_samples = Samples;
    if (av_frame_get_buffer(frame.get(), 0) < 0)
        return nullptr;
    auto *samples = reinterpret_cast<float *>(frame->data[0]);
    for (int i = 0; i < Samples; ++i)
        samples[i] = 0.25f * std::sin(float(i) * 0.05f);
    return frame;
}

} // namespace

class TestAudioConverter : public QObject
{
    Q_OBJECT
private slots:
    void stampsFollowTheStream_data()
    {
        QTest::addColumn<int>("sampleRate");
        // Seconds between the end of one frame and the start of the next; NaN: a new session
        // (the converter is reset) whose sound starts at 100 s.
        QTest::addColumn<QList<double>>("gaps");
        const double newSession = std::nan("");
        QTest::newRow("gaps do not add up") << 48000 << QList<double>{0.3, 0, 0.4, 0, 0.25};
        QTest::newRow("overlap") << 48000 << QList<double>{0, -0.2, 0};
        QTest::newRow("resampled, with a gap") << 44100 << QList<double>{0, 1.0, 0, 0};
        QTest::newRow("new session") << 48000 << QList<double>{0.5, newSession, 0};
    }
    void stampsFollowTheStream()
    {
        QFETCH(int, sampleRate);
        QFETCH(QList<double>, gaps);
        const AudioFormat format{48000, 2};
        AudioConverter converter(format);
        const FramePtr frame = toneFrame(sampleRate);
        QVERIFY(frame);
        const double length = double(Samples) / sampleRate;
        double start = 10;
        for (int i = 0; i <= gaps.size(); ++i) {
            if (i > 0 && std::isnan(gaps[i - 1])) {
                converter.reset();
                start = 100;
            } else if (i > 0) {
                start += length + gaps[i - 1];
            }
            const QList<AudioChunk> chunks = converter.convert(frame.get(), start);
            if (chunks.isEmpty())
                continue; // still in the filter
            // The newest converted sound ends where this frame ends (less the resampler's delay).
            const double end = chunks.last().time + double(chunks.last().pcm.size()) / format.bytesPerSecond();
            QVERIFY2(
                end <= start + length + 1e-6 && end > start + length - 0.01,
                qPrintable(QStringLiteral("frame %1 ends at %2, its sound at %3").arg(i).arg(start + length).arg(end)));
        }
    }
};

QTEST_GUILESS_MAIN(TestAudioConverter)
#include "tst_audioconverter.moc"
