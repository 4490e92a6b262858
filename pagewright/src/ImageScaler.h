#pragma once

#include <functional>
#include <qpdf/QPDF.hh>
#include <string>

#include "pagewright/PagewrightEngine.h"

namespace pagewright {

// Downsamples 8-bit grey and RGB images whose resolution, even if they filled their whole
// page, lies above the parameters' threshold, to the target resolution. JPEG images stay JPEG;
// others are stored losslessly. Returns how many images were replaced.
int scaleImages(QPDF& pdf, const PagewrightEngine::OptimizeParameters& parameters,
                const std::function<void(const std::string&)>& note);

}  // namespace pagewright
