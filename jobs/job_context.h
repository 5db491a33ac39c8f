#pragma once
// Everything one job works with.
#include "image/firmware_image.h"
#include "jobs/job_ending.h"
#include "protocol/session.h"

namespace qelisp {

struct JobContext {
    Session session;
    const FirmwareImage& image;
    BeepHook beep;
};

}  // namespace qelisp
