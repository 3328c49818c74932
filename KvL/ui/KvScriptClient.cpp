#include "KvScriptClient.h"

#include <QVariant>

#include <cmath>

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

int ScriptParamInt(const TKvCustomProperties& params, int index)
{
    const QVariant value = Param(params, index);
    switch (value.typeId()) {
    case QMetaType::Int: return value.toInt();
    case QMetaType::Double: return int(std::nearbyint(value.toDouble()));
    default: return 0;
    }
}
