#include "KvScriptClient.h"

#include <QVariant>

#include <cmath>
#include <limits>

namespace {

QVariant Param(const TKvCustomProperties& params, int index)
{
    return params.GetAsVariant(params.IndexOf(index));
}

} // namespace

QString ScriptParamText(const TKvCustomProperties& params, int index)
{
    const QVariant value = Param(params, index);
    switch (value.typeId()) {
    case QMetaType::QByteArray: return QString::fromUtf8(value.toByteArray());
    case QMetaType::Int: return QString::number(value.toInt());
    case QMetaType::Double: return QString::number(value.toDouble());
    default: return {};
    }
}

bool ScriptParamIsNumber(const TKvCustomProperties& params, int index)
{
    const int type = Param(params, index).typeId();
    return type == QMetaType::Int || type == QMetaType::Double;
}

std::optional<qint32> ScriptParamWholeNumber(const TKvCustomProperties& params, int index)
{
    const QVariant value = Param(params, index);
    if (value.typeId() == QMetaType::Int)
        return value.toInt();
    if (value.typeId() != QMetaType::Double)
        return std::nullopt;
    const double rounded = std::nearbyint(value.toDouble());
    if (!std::isfinite(rounded) || rounded < std::numeric_limits<qint32>::min()
        || rounded > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return qint32(rounded);
}

int ScriptParamInt(const TKvCustomProperties& params, int index)
{
    return ScriptParamWholeNumber(params, index).value_or(0);
}
