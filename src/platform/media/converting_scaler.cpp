// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/converting_scaler.h"

#include "platform/media/gst_support.h"
#include "platform/media/output_chain.h"
#include "platform/media/picture_scaler.h"

#include <gst/video/gstvideofilter.h>
#include <gst/video/video.h>

#include <memory>
#include <optional>

namespace tovimo::media {

namespace {

std::optional<PixelOrder> pixelOrderOf(GstVideoFormat format) {
    switch (format) {
    case GST_VIDEO_FORMAT_BGRx:
    case GST_VIDEO_FORMAT_BGRA:
        return PixelOrder::Bgrx;
    case GST_VIDEO_FORMAT_RGBx:
    case GST_VIDEO_FORMAT_RGBA:
        return PixelOrder::Rgbx;
    case GST_VIDEO_FORMAT_xRGB:
    case GST_VIDEO_FORMAT_ARGB:
        return PixelOrder::Xrgb;
    case GST_VIDEO_FORMAT_xBGR:
    case GST_VIDEO_FORMAT_ABGR:
        return PixelOrder::Xbgr;
    default:
        return std::nullopt;
    }
}

bool takesSource(GstVideoFormat format, GstVideoInterlaceMode interlacing) {
    return (format == GST_VIDEO_FORMAT_I420 || format == GST_VIDEO_FORMAT_YV12) &&
           interlacing == GST_VIDEO_INTERLACE_MODE_PROGRESSIVE;
}

GstVideoFormat formatOf(const GstStructure* picture) {
    const char* name = picture ? gst_structure_get_string(picture, "format") : nullptr;
    return name ? gst_video_format_from_string(name) : GST_VIDEO_FORMAT_UNKNOWN;
}

GstVideoInterlaceMode interlacingOf(const GstStructure* picture) {
    const char* mode = gst_structure_get_string(picture, "interlace-mode");
    return mode ? gst_video_interlace_mode_from_string(mode) : GST_VIDEO_INTERLACE_MODE_PROGRESSIVE;
}

YuvMatrix matrixOf(const GstVideoInfo& source) {
    YuvMatrix matrix;
    if (!gst_video_color_matrix_get_Kr_Kb(source.colorimetry.matrix, &matrix.kr, &matrix.kb)) {
        // Unnamed: standard definition pictures are BT.601, the rest BT.709.
        const bool standard = GST_VIDEO_INFO_HEIGHT(&source) <= 576;
        matrix.kr = standard ? 0.299 : 0.2126;
        matrix.kb = standard ? 0.114 : 0.0722;
    }
    matrix.fullRange = source.colorimetry.range == GST_VIDEO_COLOR_RANGE_0_255;
    return matrix;
}

ChromaSiting sitingOf(const GstVideoInfo& source) {
    const GstVideoChromaSite site = GST_VIDEO_INFO_CHROMA_SITE(&source);
    if (site == GST_VIDEO_CHROMA_SITE_UNKNOWN)
        return ChromaSiting{};
    return ChromaSiting{(site & GST_VIDEO_CHROMA_SITE_H_COSITED) != 0,
                        (site & GST_VIDEO_CHROMA_SITE_V_COSITED) != 0};
}

// What an element does in its own pass; absent while the library's runs.
struct OwnPass {
    PictureScaler scaler;
};

GQuark ownPassQuark() {
    static const GQuark quark = g_quark_from_static_string("tovimo-own-pass");
    return quark;
}

OwnPass* ownPassOf(GstVideoFilter* filter) {
    return static_cast<OwnPass*>(g_object_get_qdata(G_OBJECT(filter), ownPassQuark()));
}

gboolean (*librarySetInfo)(GstVideoFilter*, GstCaps*, GstVideoInfo*, GstCaps*, GstVideoInfo*) = nullptr;
GstFlowReturn (*libraryTransformFrame)(GstVideoFilter*, GstVideoFrame*, GstVideoFrame*) = nullptr;

// The picture's place in the output: centred with borders when the
// element adds them and the shapes differ, as the library's own pass does.
PictureRect pictureRectFor(GstVideoFilter* filter, const GstVideoInfo& in, const GstVideoInfo& out) {
    const int width = GST_VIDEO_INFO_WIDTH(&out);
    const int height = GST_VIDEO_INFO_HEIGHT(&out);
    gboolean borders = FALSE;
    g_object_get(filter, "add-borders", &borders, nullptr);
    if (!borders)
        return {0, 0, width, height};
    const PictureSize picture =
        pictureWithin({GST_VIDEO_INFO_WIDTH(&in), GST_VIDEO_INFO_HEIGHT(&in)},
                      {GST_VIDEO_INFO_PAR_N(&in), GST_VIDEO_INFO_PAR_D(&in)}, {width, height},
                      {GST_VIDEO_INFO_PAR_N(&out), GST_VIDEO_INFO_PAR_D(&out)});
    return {(width - picture.width) / 2, (height - picture.height) / 2, picture.width, picture.height};
}

gboolean setInfo(GstVideoFilter* filter, GstCaps* inCaps, GstVideoInfo* in, GstCaps* outCaps,
                 GstVideoInfo* out) {
    g_object_set_qdata(G_OBJECT(filter), ownPassQuark(), nullptr);
    if (!librarySetInfo(filter, inCaps, in, outCaps, out))
        return FALSE;
    const std::optional<PixelOrder> order = pixelOrderOf(GST_VIDEO_INFO_FORMAT(out));
    if (!order || !takesSource(GST_VIDEO_INFO_FORMAT(in), GST_VIDEO_INFO_INTERLACE_MODE(in)) ||
        GST_VIDEO_INFO_INTERLACE_MODE(out) != GST_VIDEO_INTERLACE_MODE_PROGRESSIVE)
        return TRUE;
    auto pass = std::make_unique<OwnPass>();
    if (!pass->scaler.configure(GST_VIDEO_INFO_WIDTH(in), GST_VIDEO_INFO_HEIGHT(in),
                                pictureRectFor(filter, *in, *out), GST_VIDEO_INFO_WIDTH(out),
                                GST_VIDEO_INFO_HEIGHT(out), matrixOf(*in), sitingOf(*in), *order))
        return TRUE;
    GST_CAT_DEBUG_OBJECT(tovimo_debug, filter, "%s %dx%d to %s %dx%d in one pass of its own",
                         gst_video_format_to_string(GST_VIDEO_INFO_FORMAT(in)), GST_VIDEO_INFO_WIDTH(in),
                         GST_VIDEO_INFO_HEIGHT(in), gst_video_format_to_string(GST_VIDEO_INFO_FORMAT(out)),
                         GST_VIDEO_INFO_WIDTH(out), GST_VIDEO_INFO_HEIGHT(out));
    g_object_set_qdata_full(G_OBJECT(filter), ownPassQuark(), pass.release(),
                            [](gpointer data) { delete static_cast<OwnPass*>(data); });
    return TRUE;
}

GstFlowReturn transformFrame(GstVideoFilter* filter, GstVideoFrame* in, GstVideoFrame* out) {
    OwnPass* pass = ownPassOf(filter);
    if (!pass)
        return libraryTransformFrame(filter, in, out);
    SourcePlanes source;
    source.y = static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_COMP_DATA(in, GST_VIDEO_COMP_Y));
    source.u = static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_COMP_DATA(in, GST_VIDEO_COMP_U));
    source.v = static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_COMP_DATA(in, GST_VIDEO_COMP_V));
    source.yStride = GST_VIDEO_FRAME_COMP_STRIDE(in, GST_VIDEO_COMP_Y);
    source.uStride = GST_VIDEO_FRAME_COMP_STRIDE(in, GST_VIDEO_COMP_U);
    source.vStride = GST_VIDEO_FRAME_COMP_STRIDE(in, GST_VIDEO_COMP_V);
    pass->scaler.convert(source, {static_cast<std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(out, 0)),
                                  GST_VIDEO_FRAME_PLANE_STRIDE(out, 0)});
    return GST_FLOW_OK;
}

void classInit(gpointer klass, gpointer) {
    auto* filter = GST_VIDEO_FILTER_CLASS(klass);
    librarySetInfo = filter->set_info;
    libraryTransformFrame = filter->transform_frame;
    filter->set_info = setInfo;
    filter->transform_frame = transformFrame;
}

GType convertingScalerType() {
    static const GType type = [] {
        const std::unique_ptr<GstElementFactory, GstObjectUnref> found(
            gst_element_factory_find("videoconvertscale"));
        if (!found)
            return G_TYPE_INVALID;
        const std::unique_ptr<GstPluginFeature, GstObjectUnref> loaded(
            gst_plugin_feature_load(GST_PLUGIN_FEATURE(found.get())));
        if (!loaded)
            return G_TYPE_INVALID;
        const GType library = gst_element_factory_get_element_type(GST_ELEMENT_FACTORY(loaded.get()));
        if (!library || !g_type_is_a(library, GST_TYPE_VIDEO_FILTER))
            return G_TYPE_INVALID;
        GTypeQuery query;
        g_type_query(library, &query);
        if (!query.type)
            return G_TYPE_INVALID;
        GTypeInfo info{};
        info.class_size = guint16(query.class_size);
        info.class_init = classInit;
        info.instance_size = guint16(query.instance_size);
        const GType own = g_type_register_static(library, "TovimoConvertingScaler", &info, GTypeFlags(0));
        if (!own || !gst_element_register(nullptr, "tovimoconvertingscaler", GST_RANK_NONE, own))
            return G_TYPE_INVALID;
        return own;
    }();
    return type;
}

} // namespace

GstElement* makeConvertingScaler(const char* name) {
    if (convertingScalerType() != G_TYPE_INVALID)
        if (GstElement* own = gst_element_factory_make("tovimoconvertingscaler", name))
            return own;
    return gst_element_factory_make("videoconvertscale", name);
}

bool convertsInOwnPass(GstElement* element) {
    return element && convertingScalerType() != G_TYPE_INVALID &&
           G_TYPE_CHECK_INSTANCE_TYPE(element, convertingScalerType()) &&
           ownPassOf(GST_VIDEO_FILTER(element));
}

bool takesInOnePass(const GstStructure* source) {
    return source && convertingScalerType() != G_TYPE_INVALID &&
           takesSource(formatOf(source), interlacingOf(source));
}

bool givesInOnePass(const GstStructure* shown) {
    return shown && convertingScalerType() != G_TYPE_INVALID && pixelOrderOf(formatOf(shown)) &&
           interlacingOf(shown) == GST_VIDEO_INTERLACE_MODE_PROGRESSIVE;
}

} // namespace tovimo::media
