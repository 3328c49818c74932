#include "KvImageList.h"

#include <QAction>

// Outside any namespace, as the resource registration needs.
void RegisterProgramImages()
{
    // The pictures live in a static library; without this call the linker
    // would leave them out.
    static const bool registered = [] {
        Q_INIT_RESOURCE(Images);
        return true;
    }();
    Q_UNUSED(registered);
}

namespace {

const char* const ImagesProperty = "KvImages";
const char* const ImageIndexProperty = "KvImageIndex";

TKvImageList* ImagesOf(const QObject* object)
{
    return qobject_cast<TKvImageList*>(object->property(ImagesProperty).value<QObject*>());
}

} // namespace

TKvImageList::TKvImageList(QSize size, QObject* parent) : QObject(parent), m_size(size) {}

int TKvImageList::Add(const QIcon& icon)
{
    m_icons.push_back(icon);
    return Count() - 1;
}

QIcon TKvImageList::Icon(int index) const
{
    if (index < 0 || index >= Count())
        return QIcon();
    return m_icons[static_cast<size_t>(index)];
}

void SetItemImage(QAction* item, TKvImageList* images, int imageIndex)
{
    item->setProperty(ImagesProperty, QVariant::fromValue<QObject*>(images));
    SetImageIndex(item, imageIndex);
}

void SetImageIndex(QAction* item, int imageIndex)
{
    item->setProperty(ImageIndexProperty, imageIndex);
    const TKvImageList* images = ImagesOf(item);
    item->setIcon(images ? images->Icon(imageIndex) : QIcon());
}

int ImageIndex(const QAction* item)
{
    const QVariant index = item->property(ImageIndexProperty);
    return index.isValid() ? index.toInt() : -1;
}

TKvImageList* ItemImages(const QAction* item)
{
    return ImagesOf(item);
}

void SetToolbarImages(QObject* toolbar, TKvImageList* images)
{
    toolbar->setProperty(ImagesProperty, QVariant::fromValue<QObject*>(images));
}

TKvImageList* ToolbarImages(const QObject* toolbar)
{
    return ImagesOf(toolbar);
}
