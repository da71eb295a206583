#include "video/scaler_context.h"

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixfmt.h>
}

#include <algorithm>
#include <thread>

namespace pixpipe {

int scalerThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? static_cast<int>(cores) : 1;
}

SwsContext *newBicubicScaler(int sourceWidth, int sourceHeight, int sourceFormat, int width,
                             int height, int threads) {
    SwsContext *context = sws_alloc_context();
    if (!context)
        return nullptr;
    av_opt_set_int(context, "srcw", sourceWidth, 0);
    av_opt_set_int(context, "srch", sourceHeight, 0);
    av_opt_set_int(context, "src_format", sourceFormat, 0);
    av_opt_set_int(context, "dstw", width, 0);
    av_opt_set_int(context, "dsth", height, 0);
    av_opt_set_int(context, "dst_format", AV_PIX_FMT_YUV420P, 0);
    av_opt_set_int(context, "sws_flags", SWS_BICUBIC, 0);
    // At least two: converting rows that do not start at the top
    // (sws_receive_slice) gives wrong pictures without slice threads; on one
    // core the two threads simply take turns.
    av_opt_set_int(context, "threads", std::max(2, threads), 0);
    if (sws_init_context(context, nullptr, nullptr) < 0) {
        sws_freeContext(context);
        return nullptr;
    }
    return context;
}

} // namespace pixpipe
