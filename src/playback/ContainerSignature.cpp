#include "playback/ContainerSignature.h"

#include <QByteArrayView>

namespace ContainerSignature {

namespace {

bool boxTypeIn(const QByteArray &head, std::initializer_list<QByteArrayView> types)
{
    const QByteArrayView type = QByteArrayView(head).sliced(4, 4);
    return std::any_of(types.begin(), types.end(), [type](QByteArrayView candidate) { return type == candidate; });
}

}

bool matches(Container container, const QByteArray &head)
{
    if (head.size() < HeadSize)
        return false;
    switch (container) {
    case Container::TransportStream:
        return head.at(0) == 0x47;
    case Container::Mp4InitSection:
        return boxTypeIn(head, {"ftyp", "styp", "moov"});
    case Container::Mp4Fragment:
        return boxTypeIn(head, {"moof", "styp", "sidx", "prft", "emsg", "free"});
    }
    return false;
}

}
