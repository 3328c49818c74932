#include "ClippingSession.h"

#include <algorithm>

TClippingSession::TClippingSession()
{
    SetClippingLabelEffects(m_region);
    SetThreads(0);
}

void TClippingSession::SetThreads(int threads)
{
    m_region.SetWorkerPool(nullptr);
    m_pool.reset();
    if (TWorkerPool::ThreadsFor(threads) > 1)
        m_pool = std::make_unique<TWorkerPool>(threads);
    m_region.SetWorkerPool(m_pool.get());
}

void TClippingSession::SetBackgroundEffect(int effect)
{
    if (effect >= ::BackgroundColor && effect <= BackgroundMonochrome)
        m_backgroundEffect = effect;
}

int TClippingSession::ClampLevel(int level)
{
    // Beyond 5 the blur's radius would outgrow any picture (and overflow at 20).
    return std::clamp(level, MinLevel, MaxLevel);
}

TClippingEffect TClippingSession::Chosen() const
{
    TClippingEffect effect;
    effect.Effect = std::uint8_t(m_backgroundEffect);
    switch (m_backgroundEffect) {
    case ::BackgroundColor:
        effect.Color = m_backgroundColor;
        break;
    case BackgroundShadow:
        effect.Level = m_shadowLevel;
        break;
    case BackgroundBlur:
        effect.Level = m_blurLevel;
        break;
    default:
        effect.Color = m_monochromeColor;
        break;
    }
    return effect;
}

void TClippingSession::Apply(const TClippingEffect& effect)
{
    switch (effect.Effect) {
    case ::BackgroundColor:
        m_region.SetBackgroundColor(effect.Color);
        break;
    case BackgroundShadow:
        m_region.SetShadowLevel(effect.Level);
        break;
    case BackgroundBlur:
        m_region.SetBlurLevel(effect.Level);
        break;
    default:
        m_region.SetMonochromeColor(effect.Color);
        break;
    }
    m_region.PrepareEffect(effect.Effect);
    m_shown = effect;
}

void TClippingSession::FollowObject()
{
    m_objectLabel = ObjectSegment;
    for (int label = FirstSegment; label <= LastSegment; ++label)
        if (m_region.HasLabel(std::uint8_t(label))) {
            m_objectLabel = std::uint8_t(label);
            return;
        }
}

bool TClippingSession::HasMarks() const
{
    return m_region.HasLabel(LabelBand) || m_region.HasLabel(LabelOutline) || m_region.HasLabel(LabelCutLine);
}

TColumnPass TClippingSession::StartEffect(const TClippingEffect& effect)
{
    Apply(effect);
    m_objectLabel = ObjectSegment;
    return TColumnPass(m_region, TColumnPass::ApplyObjectWork, ObjectSegment);
}

TColumnPass TClippingSession::StartSwap()
{
    return ::StartSwap(m_region, m_objectLabel, m_shown.Effect);
}

TColumnPass TClippingSession::StartShowingObject(std::uint8_t object)
{
    m_objectLabel = object;
    m_region.PrepareEffect(m_region.BackgroundEffect());
    return TColumnPass(m_region, TColumnPass::SwapObjectWork, object);
}

TColumnPass TClippingSession::StartRefresh(const TClippingEffect& effect)
{
    Apply(effect);
    return TColumnPass(m_region, TColumnPass::RefreshWork);
}
