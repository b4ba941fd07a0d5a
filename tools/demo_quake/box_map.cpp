#include "demo_quake/box_map.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

namespace qwfixture {

namespace {

using Point = std::array<int, 3>;

// Inside of the room, in Quake units.  No wall is wider than 256 units, the
// largest face every Quake renderer lights in one piece.
constexpr Point kRoomMin{-128, -128, 0};
constexpr Point kRoomMax{128, 128, 128};
constexpr Point kSpawn{0, 0, 24};  // a standing player's origin is 24 units above its feet

// The boxes QuakeWorld moves through the world: points, players, large monsters.
struct HullBox {
    Point min;
    Point max;
};
constexpr std::array<HullBox, 3> kHulls{{
    {{0, 0, 0}, {0, 0, 0}},
    {{-16, -16, -24}, {16, 16, 32}},
    {{-32, -32, -24}, {32, 32, 64}},
}};

constexpr std::int32_t kBspVersion = 29;
constexpr std::int32_t kContentsEmpty = -1;
constexpr std::int32_t kContentsSolid = -2;
constexpr int kLumpCount = 15;
constexpr int kLightmapCell = 16;  // texels per lightmap sample
constexpr std::uint8_t kLightLevel = 192;
constexpr int kTextureSize = 16;
constexpr int kMipLevels = 4;
constexpr char kTextureName[] = "tessaro_wall";

enum Lump {
    kEntities, kPlanes, kTextures, kVertexes, kVisibility, kNodes, kTexinfo, kFaces,
    kLighting, kClipnodes, kLeafs, kMarksurfaces, kEdges, kSurfedges, kModels,
};

// A wall of the room: the axis it is perpendicular to and whether it closes
// the room at the high or the low end of that axis.
struct Wall {
    int axis;
    bool high;
};
constexpr std::array<Wall, 6> kWalls{{{0, false}, {0, true}, {1, false}, {1, true}, {2, false}, {2, true}}};

// Texture directions by the axis a face is perpendicular to, as Quake's map
// compilers choose them.
constexpr std::array<std::array<Point, 2>, 3> kTextureAxes{{
    {{{0, 1, 0}, {0, 0, -1}}},
    {{{1, 0, 0}, {0, 0, -1}}},
    {{{1, 0, 0}, {0, -1, 0}}},
}};

// Little-endian output, whatever the machine's own order.
class ByteWriter {
public:
    void u8(std::uint8_t v) { m_bytes.push_back(static_cast<char>(v)); }
    void u16(std::uint16_t v)
    {
        u8(static_cast<std::uint8_t>(v & 0xff));
        u8(static_cast<std::uint8_t>(v >> 8));
    }
    void i16(int v) { u16(static_cast<std::uint16_t>(static_cast<std::int16_t>(v))); }
    void u32(std::uint32_t v)
    {
        u16(static_cast<std::uint16_t>(v & 0xffff));
        u16(static_cast<std::uint16_t>(v >> 16));
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void f32(float v)
    {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        u32(bits);
    }
    void bytes(std::string_view data) { m_bytes.append(data); }
    void fixedString(std::string_view text, std::size_t width)
    {
        m_bytes.append(text.substr(0, width));
        m_bytes.append(width - std::min(text.size(), width), '\0');
    }
    void shortBox(const Point &min, const Point &max)
    {
        for (int v : min)
            i16(v);
        for (int v : max)
            i16(v);
    }

    const std::string &data() const { return m_bytes; }
    std::size_t size() const { return m_bytes.size(); }

private:
    std::string m_bytes;
};

int dot(const Point &a, const Point &b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Point cross(const Point &a, const Point &b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

Point minus(const Point &a, const Point &b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }

int roomEdge(const Wall &wall) { return (wall.high ? kRoomMax : kRoomMin)[static_cast<std::size_t>(wall.axis)]; }

// Where the plane of `wall` lies for the origin of a box of hull `hull`:
// pulled into the room by the box's extent on that side.
int hullPlaneDistance(const Wall &wall, const HullBox &hull)
{
    const auto axis = static_cast<std::size_t>(wall.axis);
    return wall.high ? kRoomMax[axis] - hull.max[axis] : kRoomMin[axis] - hull.min[axis];
}

// Planes are shared by every structure that lies on them; all are axial with
// a positive normal, so "front" is the side of the larger coordinate.
class PlaneTable {
public:
    int index(int axis, int distance)
    {
        const auto key = std::make_pair(axis, distance);
        auto [it, added] = m_indices.try_emplace(key, static_cast<int>(m_planes.size()));
        if (added)
            m_planes.push_back(key);
        return it->second;
    }
    void write(ByteWriter &out) const
    {
        for (const auto &[axis, distance] : m_planes) {
            for (int k = 0; k < 3; ++k)
                out.f32(k == axis ? 1.0f : 0.0f);
            out.f32(static_cast<float>(distance));
            out.i32(axis);  // plane type: perpendicular to x, y or z
        }
    }

private:
    std::map<std::pair<int, int>, int> m_indices;
    std::vector<std::pair<int, int>> m_planes;
};

// The inside of the room lies in front of a low wall's plane and behind a
// high wall's; children are written front first.
std::array<int, 2> children(const Wall &wall, int inside, int outside)
{
    return wall.high ? std::array<int, 2>{outside, inside} : std::array<int, 2>{inside, outside};
}

// The corner of the room selected by the bits of `index` (x, y, z: low or high).
Point corner(int index)
{
    Point p{};
    for (std::size_t k = 0; k < 3; ++k)
        p[k] = (index >> k) & 1 ? kRoomMax[k] : kRoomMin[k];
    return p;
}

int cornerIndex(const Point &p)
{
    int index = 0;
    for (std::size_t k = 0; k < 3; ++k)
        index |= (p[k] == kRoomMax[k] ? 1 : 0) << k;
    return index;
}

// The four corners of a wall, wound clockwise as seen from inside the room,
// which is the winding Quake draws.
std::array<Point, 4> wallWinding(const Wall &wall)
{
    const auto axis = static_cast<std::size_t>(wall.axis);
    const std::size_t u = (axis + 1) % 3, v = (axis + 2) % 3;
    std::array<Point, 4> ring{};
    constexpr std::array<std::pair<bool, bool>, 4> kSquare{{{false, false}, {true, false}, {true, true}, {false, true}}};
    for (std::size_t i = 0; i < 4; ++i) {
        Point p{};
        p[axis] = roomEdge(wall);
        p[u] = kSquare[i].first ? kRoomMax[u] : kRoomMin[u];
        p[v] = kSquare[i].second ? kRoomMax[v] : kRoomMin[v];
        ring[i] = p;
    }
    Point inward{};
    inward[axis] = wall.high ? -1 : 1;
    if (dot(cross(minus(ring[1], ring[0]), minus(ring[2], ring[0])), inward) > 0)
        std::swap(ring[1], ring[3]);  // counter-clockwise from inside: turn it round
    return ring;
}

// Edges are stored once; a face refers to an edge by a signed index whose
// sign gives the direction it is walked in.
class EdgeTable {
public:
    EdgeTable() { m_edges.push_back({0, 0}); }  // edge 0 cannot be signed, so it is never used
    int signedIndex(int from, int to)
    {
        for (std::size_t i = 1; i < m_edges.size(); ++i) {
            if (m_edges[i] == std::array<int, 2>{from, to})
                return static_cast<int>(i);
            if (m_edges[i] == std::array<int, 2>{to, from})
                return -static_cast<int>(i);
        }
        m_edges.push_back({from, to});
        return static_cast<int>(m_edges.size() - 1);
    }
    void write(ByteWriter &out) const
    {
        for (const auto &edge : m_edges) {
            out.u16(static_cast<std::uint16_t>(edge[0]));
            out.u16(static_cast<std::uint16_t>(edge[1]));
        }
    }

private:
    std::vector<std::array<int, 2>> m_edges;
};

// Number of lightmap samples along one texture axis of a face.
int lightmapSamples(const std::array<Point, 4> &ring, const Point &textureAxis)
{
    int low = dot(ring[0], textureAxis), high = low;
    for (const Point &p : ring) {
        low = std::min(low, dot(p, textureAxis));
        high = std::max(high, dot(p, textureAxis));
    }
    const int first = static_cast<int>(std::floor(static_cast<double>(low) / kLightmapCell));
    const int last = static_cast<int>(std::ceil(static_cast<double>(high) / kLightmapCell));
    if ((last - first) * kLightmapCell > 256)
        throw std::logic_error("a wall of the room is too large to be lit in one piece");
    return last - first + 1;
}

// One texture with its four mip levels: a light stone with darker joints.
std::string wallTexture()
{
    ByteWriter out;
    out.fixedString(kTextureName, 16);
    out.u32(kTextureSize);
    out.u32(kTextureSize);
    std::uint32_t offset = 16 + 4 * 2 + 4 * kMipLevels;
    for (int level = 0; level < kMipLevels; ++level) {
        out.u32(offset);
        const int side = kTextureSize >> level;
        offset += static_cast<std::uint32_t>(side * side);
    }
    for (int level = 0; level < kMipLevels; ++level) {
        const int side = kTextureSize >> level;
        const int joint = std::max(1, 8 >> level);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                out.u8(x % joint == 0 || y % joint == 0 ? 4 : 10);
    }
    return out.data();
}

std::string entityText()
{
    const auto origin = [](const Point &p) {
        return std::to_string(p[0]) + " " + std::to_string(p[1]) + " " + std::to_string(p[2]);
    };
    return "{\n\"classname\" \"worldspawn\"\n\"message\" \"Tessaro test room\"\n}\n"
           "{\n\"classname\" \"info_player_deathmatch\"\n\"origin\" \"" + origin(kSpawn) + "\"\n\"angle\" \"0\"\n}\n"
           "{\n\"classname\" \"info_player_start\"\n\"origin\" \"" + origin(kSpawn) + "\"\n\"angle\" \"90\"\n}\n";
}

}  // namespace

std::string buildBoxMap()
{
    std::array<ByteWriter, kLumpCount> lumps;
    PlaneTable planes;
    EdgeTable edges;

    // Hull 0, the drawn world: six nodes in a chain, one per wall, each
    // holding the wall's face.  Inside leads on to the next node, and after
    // the last to leaf 1, the room; outside is leaf 0, solid rock.
    constexpr int kSolidLeafChild = -1, kRoomLeafChild = -2;  // leaf n is child -(n + 1)
    std::vector<int> surfedges;
    for (std::size_t i = 0; i < kWalls.size(); ++i) {
        const Wall &wall = kWalls[i];
        const int plane = planes.index(wall.axis, roomEdge(wall));
        const int next = i + 1 < kWalls.size() ? static_cast<int>(i + 1) : kRoomLeafChild;
        ByteWriter &node = lumps[kNodes];
        node.i32(plane);
        for (int child : children(wall, next, kSolidLeafChild))
            node.i16(child);
        node.shortBox(kRoomMin, kRoomMax);
        node.u16(static_cast<std::uint16_t>(i));  // first face
        node.u16(1);

        const std::array<Point, 4> ring = wallWinding(wall);
        const int firstEdge = static_cast<int>(surfedges.size());
        for (std::size_t k = 0; k < ring.size(); ++k)
            surfedges.push_back(edges.signedIndex(cornerIndex(ring[k]), cornerIndex(ring[(k + 1) % ring.size()])));

        const auto &axes = kTextureAxes[static_cast<std::size_t>(wall.axis)];
        const int samples = lightmapSamples(ring, axes[0]) * lightmapSamples(ring, axes[1]);
        const auto lightOffset = static_cast<std::int32_t>(lumps[kLighting].size());
        lumps[kLighting].bytes(std::string(static_cast<std::size_t>(samples), static_cast<char>(kLightLevel)));

        ByteWriter &face = lumps[kFaces];
        face.i16(plane);
        face.i16(wall.high ? 1 : 0);  // a high wall faces against its plane's normal
        face.i32(firstEdge);
        face.i16(static_cast<int>(ring.size()));
        face.i16(wall.axis);  // texinfo: one per axis
        for (int style : {0, 255, 255, 255})
            face.u8(static_cast<std::uint8_t>(style));  // lit by light style 0 only
        face.i32(lightOffset);
    }

    // Hulls 1 and 2, what players and large boxes collide with: the same
    // chain, with the walls pulled in by the box's size, ending in contents.
    std::array<int, 4> headnodes{0, 0, 0, 0};
    int clipnodeCount = 0;
    for (std::size_t hull = 1; hull < kHulls.size(); ++hull) {
        headnodes[hull] = clipnodeCount;
        for (std::size_t i = 0; i < kWalls.size(); ++i) {
            const Wall &wall = kWalls[i];
            const int next = i + 1 < kWalls.size() ? clipnodeCount + 1 : kContentsEmpty;
            lumps[kClipnodes].i32(planes.index(wall.axis, hullPlaneDistance(wall, kHulls[hull])));
            for (int child : children(wall, next, kContentsSolid))
                lumps[kClipnodes].i16(child);
            ++clipnodeCount;
        }
    }

    lumps[kEntities].bytes(entityText());
    lumps[kEntities].u8(0);
    planes.write(lumps[kPlanes]);

    lumps[kTextures].i32(1);  // one texture, right after its offset table
    lumps[kTextures].i32(8);
    lumps[kTextures].bytes(wallTexture());

    for (int i = 0; i < 8; ++i)
        for (int v : corner(i))
            lumps[kVertexes].f32(static_cast<float>(v));

    lumps[kVisibility].u8(0x01);  // the one visible leaf sees itself

    for (const auto &axes : kTextureAxes) {
        for (const Point &axis : axes) {
            for (int v : axis)
                lumps[kTexinfo].f32(static_cast<float>(v));
            lumps[kTexinfo].f32(0.0f);
        }
        lumps[kTexinfo].i32(0);  // texture 0
        lumps[kTexinfo].i32(0);  // no flags
    }

    struct Leaf {
        std::int32_t contents;
        std::int32_t visibilityOffset;
        Point min, max;
        int firstMarksurface, marksurfaceCount;
    };
    for (const Leaf &leaf : {Leaf{kContentsSolid, -1, {0, 0, 0}, {0, 0, 0}, 0, 0},
                             Leaf{kContentsEmpty, 0, kRoomMin, kRoomMax, 0, static_cast<int>(kWalls.size())}}) {
        ByteWriter &out = lumps[kLeafs];
        out.i32(leaf.contents);
        out.i32(leaf.visibilityOffset);
        out.shortBox(leaf.min, leaf.max);
        out.u16(static_cast<std::uint16_t>(leaf.firstMarksurface));
        out.u16(static_cast<std::uint16_t>(leaf.marksurfaceCount));
        for (int sound = 0; sound < 4; ++sound)
            out.u8(0);  // ambient sound levels
    }
    for (std::size_t i = 0; i < kWalls.size(); ++i)
        lumps[kMarksurfaces].u16(static_cast<std::uint16_t>(i));

    edges.write(lumps[kEdges]);
    for (int edge : surfedges)
        lumps[kSurfedges].i32(edge);

    ByteWriter &world = lumps[kModels];
    for (const Point &p : {kRoomMin, kRoomMax})
        for (int v : p)
            world.f32(static_cast<float>(v));
    for (int k = 0; k < 3; ++k)
        world.f32(0.0f);  // origin
    for (int head : headnodes)
        world.i32(head);
    world.i32(1);  // visible leafs, the solid leaf 0 not counted
    world.i32(0);  // first face
    world.i32(static_cast<std::int32_t>(kWalls.size()));

    // Header, then every lump on a four-byte boundary.
    std::string body;
    std::vector<std::pair<std::int32_t, std::int32_t>> directory;
    const std::size_t headerSize = 4 + 8 * kLumpCount;
    for (const ByteWriter &lump : lumps) {
        body.append((4 - (headerSize + body.size()) % 4) % 4, '\0');
        directory.emplace_back(static_cast<std::int32_t>(headerSize + body.size()),
                               static_cast<std::int32_t>(lump.size()));
        body += lump.data();
    }
    body.append((4 - (headerSize + body.size()) % 4) % 4, '\0');

    ByteWriter header;
    header.i32(kBspVersion);
    for (const auto &[offset, length] : directory) {
        header.i32(offset);
        header.i32(length);
    }
    return header.data() + body;
}

}  // namespace qwfixture
