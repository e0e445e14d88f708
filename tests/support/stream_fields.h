#pragma once

#include <functional>
#include <memory>

#include "data/flow_field.h"
#include "render/pixel_map.h"
#include "render/streamline.h"

namespace vortana::testing {

/// Named analytic fields for the streamline tests, all over the world square [0, extent]^2.
/// With the default extent of 512 and a 512 x 512 drawing area, one pixel is one world unit.
///
/// A linear field is laid on a single cell of 2 x 2 nodes: bilinear interpolation reproduces a
/// linear field, so every sample is the formula's value up to single-precision rounding.

inline constexpr float kStreamExtent = 512.0f;

/// The same velocity everywhere.
std::unique_ptr<FlowField> UniformFlow(float u, float v, float w = 0.0f,
                                       float extent = kStreamExtent);
/// No motion anywhere.
std::unique_ptr<FlowField> FlowAtRest(float extent = kStreamExtent);
/// (u, v) = (a (x - cx) + b (y - cy), c (x - cx) + d (y - cy)).
std::unique_ptr<FlowField> LinearFlow(float a, float b, float c, float d, float cx, float cy,
                                      float extent = kStreamExtent);
/// Closed circular orbits about (cx, cy), turning from +x towards +y (clockwise on the screen).
std::unique_ptr<FlowField> Vortex(float cx, float cy, float extent = kStreamExtent);
/// Flow spiralling into (cx, cy).
std::unique_ptr<FlowField> SpiralSink(float cx, float cy, float extent = kStreamExtent);
/// `nodes` x `nodes` nodes sampling (u, v) = flow(x, y): for fields that are not linear.
std::unique_ptr<FlowField> SampledFlow(int nodes, float extent,
                                       const std::function<Vec3(double x, double y)>& flow);
/// Four counter-rotating cells, like a double gyre stacked twice: stagnation points, closed
/// orbits and separatrices all in one field.
std::unique_ptr<FlowField> CellularFlow(int nodes = 64, float extent = kStreamExtent);
/// Every node's velocity is not a number.
std::unique_ptr<FlowField> FlowOfNaNs(float extent = kStreamExtent);

/// The mapping the dialog sets up at a load: scale = max position / drawing size, as floats.
PixelMap MapFor(const FlowField& field, int width = 512, int height = 512);

/// What a trace reads, as the dialog sets it for `field`, with step `dt` (world units).
TraceSettings SettingsFor(const FlowField& field, float dt, int integrator = kIntegratorEuler);

}  // namespace vortana::testing
