// qv-scan: the scan engine on large sources. Scans files headless with a
// controller that keeps styles per character the way the text engine does,
// and prints the speed, the style runs and the symbols found; a folder is
// indexed into a project symbol index and timed as a whole.
//
//   qv-scan                 the standard measurement on generated sources
//   qv-scan FILE|FOLDER...  those files, or those folders indexed
//   qv-scan --generate FOLDER [SIZE]
//                           writes the generated sources (SIZE bytes each,
//                           5 MB by default) there, to profile or keep
//   qv-scan --generate-tree FOLDER [SIZE [SPREAD]]
//                           writes the generated PHP project (30 MB; files
//                           of 2,000 bytes and up to SPREAD, 60,000, more)
//   qv-scan --keystrokes    only the re-parse after one-character edits
//
// Times are the thread's CPU time, so that a busy machine reads the same.
// Each scan also prints a digest of its styles and symbols: a change to the
// engine that should not change results must leave the digests alone.
#include <malloc.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "CFDictionary.h"
#include "DynamicParser.h"
#include "Files.h"
#include "TFileSystemUnit.h"
#include "TSymbolTableUnit.h"
#include "TSyntaxCollectionUnit.h"
#include "TSyntaxParserControllerUnit.h"
#include "TSyntaxParserProcessUnit.h"
#include "WASTE.h"

namespace fs = std::filesystem;

namespace {

const char* const kLanguages[] = {"php", "perl", "html", "xml", "css", "javascript", "ruby"};

void AdviseHeap();

double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// --- A controller that keeps what a text engine keeps ------------------------
// The text, one style number per character (0: unstyled), protection flags,
// and the symbol and language marks by count.
class StyleKeeper : public TSyntaxParserController {
 public:
  std::u16string text;
  std::vector<UInt16> styleOf;
  std::vector<UInt8> protectedFlag;
  std::map<std::tuple<UInt16, UInt16, UInt16, int>, UInt16> styleNumbers;
  size_t styleCalls = 0, symbolMarks = 0, languageMarks = 0;
  UInt64 marksDigest = 1469598103934665603ull;

  // A text engine that opens a file knows its size and makes room once,
  // before the scan: its memory is no cost of the scan.
  void Reserve(size_t units) {
    text.assign(units, u' ');
    text.clear();
    styleOf.assign(units, 0);
    styleOf.clear();
    protectedFlag.assign(units, 0);
    protectedFlag.clear();
  }
  SInt32 GetTextLength() override { return SInt32(text.size()); }
  void InsertText(const UniChar* chars, SInt32 length) override {
    if (chars == nullptr || length <= 0) return;
    text.append(reinterpret_cast<const char16_t*>(chars), size_t(length));
    styleOf.resize(text.size(), 0);
    protectedFlag.resize(text.size(), 0);
  }
  void StreamText(CFRange span, Handle& buffer) override {
    const CFRange s = Clip(span);
    if (buffer == nullptr) buffer = NewHandle(0);
    const Size bytes = Size((s.length - s.location) * CFIndex(sizeof(UniChar)));
    SetHandleSize(buffer, bytes);
    if (bytes > 0) std::memcpy(*buffer, text.data() + s.location, size_t(bytes));
  }
  void StyleRange(CFRange span, const ExtendedTextStyle& style) override {
    ApplyDataOffset(span);
    ++styleCalls;
    const CFRange s = Clip(span);
    const int flags = (style.bold ? 1 : 0) | (style.italic ? 2 : 0) | (style.underline ? 4 : 0);
    auto key = std::make_tuple(style.textColor.red, style.textColor.green, style.textColor.blue, flags);
    auto found = styleNumbers.find(key);
    if (found == styleNumbers.end()) found = styleNumbers.emplace(key, UInt16(styleNumbers.size() + 1)).first;
    std::fill(styleOf.begin() + s.location, styleOf.begin() + s.length, found->second);
  }
  void ProtectRange(CFRange span) override {
    ApplyDataOffset(span);
    const CFRange s = Clip(span);
    std::fill(protectedFlag.begin() + s.location, protectedFlag.begin() + s.length, UInt8(1));
  }
  void ResetRange(CFRange span) override {
    const CFRange s = Clip(span);
    std::fill(styleOf.begin() + s.location, styleOf.begin() + s.length, UInt16(0));
    std::fill(protectedFlag.begin() + s.location, protectedFlag.begin() + s.length, UInt8(0));
  }
  void ApplySymbol(CFRange span, SymbolInfoPtr symbol) override {
    ApplyDataOffset(span);
    ++symbolMarks;
    Mix(UInt64(span.location) * 31 + UInt64(span.length) + (symbol != nullptr ? 7 : 0));
  }
  void ApplyEmbeddedLanguage(CFRange span, const Str63& language) override {
    ApplyDataOffset(span);
    ++languageMarks;
    Mix(UInt64(span.location) * 131 + UInt64(span.length) * 7 + language.len());
  }

  // Runs of one style over the whole text, and a digest of them.
  size_t Runs(UInt64& digest) const {
    size_t runs = 0;
    digest = marksDigest;
    for (size_t i = 0; i < styleOf.size(); ++i) {
      if (i == 0 || styleOf[i] != styleOf[i - 1] || protectedFlag[i] != protectedFlag[i - 1]) {
        ++runs;
        digest = (digest ^ (UInt64(i) << 20 ^ UInt64(styleOf[i]) << 1 ^ protectedFlag[i])) * 1099511628211ull;
      }
    }
    return runs;
  }

 private:
  void Mix(UInt64 v) { marksDigest = (marksDigest ^ v) * 1099511628211ull; }
  CFRange Clip(CFRange span) const {
    const CFIndex n = CFIndex(text.size());
    CFIndex a = std::clamp<CFIndex>(span.location, 0, n), b = std::clamp<CFIndex>(span.length, 0, n);
    if (b < a) b = a;
    return CFRangeMake(a, b);
  }
};

// --- Generated sources ----------------------------------------------------------
// Realistic blocks of each language, repeated with numbered names so that
// every block defines its own symbols.

const char* const kPHPBlock = R"SRC(<?php
/**
 * Order handling for the shop, block @N@.
 *
 * @package Shop\Orders
 */
namespace Shop\Orders;

use Shop\Core\Database;
require_once __DIR__ . '/../lib/helpers@N@.php';

define('ORDER_LIMIT_@N@', 250);

interface PriceSource@N@
{
    public function priceOf(string $sku): float;
}

abstract class BaseRepository@N@
{
    protected $db;
    protected static $instances = [];

    public function __construct(Database $db)
    {
        $this->db = $db;
    }

    abstract protected function table(): string;
}

class OrderRepository@N@ extends BaseRepository@N@ implements PriceSource@N@
{
    const STATUS_OPEN = 'open';
    const STATUS_PAID = 'paid';
    private array $cache = [];

    protected function table(): string
    {
        return 'orders';
    }

    public function priceOf(string $sku): float
    {
        if (isset($this->cache[$sku])) {
            return $this->cache[$sku];
        }
        $row = $this->db->fetchOne("SELECT price FROM products WHERE sku = ?", [$sku]);
        $price = $row ? (float) $row['price'] : 0.0;
        $this->cache[$sku] = $price;
        return $price;
    }

    /**
     * Totals the open orders of a customer.
     */
    public function totalFor(int $customerId, array $options = []): array
    {
        $sql = <<<SQL
SELECT id, total, created_at
  FROM {$this->table()}
 WHERE customer_id = :customer AND status = 'open'
SQL;
        $rows = $this->db->fetchAll($sql, ['customer' => $customerId]);
        $sum = 0;
        foreach ($rows as $index => $row) {
            $sum += $row['total'] * 1.19; // VAT included
            if ($sum > ORDER_LIMIT_@N@ && empty($options['force'])) {
                trigger_error("Order limit reached for customer $customerId", E_USER_WARNING);
                break;
            }
        }
        return ['count' => count($rows), 'sum' => round($sum, 2), 'label' => sprintf('%05d', $customerId)];
    }
}

function format_price_@N@($amount, $currency = 'EUR')
{
    # Two decimals, then the currency.
    $text = number_format($amount, 2, ',', '.');
    return "{$text} {$currency}";
}

$repository = new OrderRepository@N@(Database::connect($_SERVER['DB_DSN'] ?? 'sqlite::memory:'));
$summary = $repository->totalFor((int) ($_GET['customer'] ?? 0));
?>
<div class="order-summary" id="summary-@N@">
  <h2>Orders &amp; totals</h2>
  <p>Total: <?php echo htmlspecialchars(format_price_@N@($summary['sum'])); ?></p>
  <?= $summary['count'] ?> orders
</div>
)SRC";

const char* const kPerlBlock = R"SRC(package Report::Builder@N@;
use strict;
use warnings;
use File::Basename qw(basename dirname);
use constant MAX_ROWS_@N@ => 500;

# Builds plain-text reports from tab-separated input.
our $VERSION = '1.@N@';
my %defaults = (width => 72, title => 'Report', sep => "\t");

sub new {
    my ($class, %args) = @_;
    my $self = { %defaults, %args, rows => [] };
    return bless $self, $class;
}

sub add_row {
    my ($self, @cells) = @_;
    return if @{ $self->{rows} } >= MAX_ROWS_@N@;
    push @{ $self->{rows} }, [ map { defined $_ ? $_ : '' } @cells ];
    return scalar @{ $self->{rows} };
}

sub read_file_@N@ {
    my ($self, $path) = @_;
    open(my $fh, '<', $path) or die "Cannot open $path: $!\n";
    while (my $line = <$fh>) {
        chomp $line;
        next if $line =~ /^\s*#/;
        $line =~ s/\s+$//;
        my @cells = split /$self->{sep}/, $line;
        $self->add_row(@cells);
    }
    close $fh;
    my $name = basename($path);
    print STDERR "read $name: $#{ $self->{rows} } rows\n";
}

sub render {
    my $self = shift;
    my $out = sprintf("%-*s\n", $self->{width}, uc $self->{title});
    $out .= '=' x $self->{width} . "\n";
    for my $row (@{ $self->{rows} }) {
        $out .= join(' | ', @$row) . "\n";
    }
    my @words = qw(total rows printed);
    $out .= <<EOT;
$words[0]: @{[ scalar @{ $self->{rows} } ]} $words[1] $words[2]
EOT
    return $out;
}

1;
)SRC";

const char* const kRubyBlock = R"SRC(require 'json'
require_relative 'support/formatting'

# Inventory of a warehouse, block @N@.
module Warehouse@N@
  class StockError < StandardError; end

  class Inventory
    include Enumerable
    attr_reader :items, :name

    DEFAULT_LIMIT = 1_000

    def initialize(name, limit: DEFAULT_LIMIT)
      @name = name
      @limit = limit
      @items = {}
    end

    def add(sku, count = 1)
      raise StockError, "limit of #{@limit} reached" if total + count > @limit
      @items[sku] = (@items[sku] || 0) + count
      self
    end

    def each(&block)
      @items.each(&block)
    end

    def total
      @items.values.sum
    end

    def low_stock?(threshold = 5)
      @items.any? { |_sku, count| count < threshold }
    end

    def to_json(*args)
      { name: @name, items: @items, total: total }.to_json(*args)
    end

    def report
      lines = @items.map do |sku, count|
        format('%-12s %6d', sku, count)
      end
      <<~TEXT
        Inventory #{@name}
        #{lines.join("\n")}
      TEXT
    end
  end
end

def load_inventory_@N@(path)
  data = JSON.parse(File.read(path), symbolize_names: true)
  inventory = Warehouse@N@::Inventory.new(data[:name])
  data[:items].each { |sku, count| inventory.add(sku.to_s, count.to_i) }
  $stderr.puts "loaded #{inventory.total} items" if $DEBUG
  inventory
rescue Errno::ENOENT => e
  warn "missing file: #{e.message}"
  nil
end
)SRC";

const char* const kJavaScriptBlock = R"SRC(import { formatDate, escapeHTML } from './util@N@.js';

/**
 * A small list widget with filtering, block @N@.
 */
export class TaskList@N@ extends EventTarget {
  constructor(root, options = {}) {
    super();
    this.root = root;
    this.tasks = [];
    this.filter = options.filter || 'all';
    this.limit = Number.isFinite(options.limit) ? options.limit : 100;
  }

  add(title, due = null) {
    if (this.tasks.length >= this.limit) {
      throw new RangeError(`at most ${this.limit} tasks`);
    }
    const task = { id: this.tasks.length + 1, title: String(title).trim(), due, done: false };
    this.tasks.push(task);
    this.dispatchEvent(new CustomEvent('change', { detail: task }));
    return task;
  }

  visible() {
    switch (this.filter) {
      case 'open': return this.tasks.filter((t) => !t.done);
      case 'done': return this.tasks.filter((t) => t.done);
      default: return this.tasks.slice();
    }
  }

  render() {
    const rows = this.visible().map((t) => `<li class="${t.done ? 'done' : ''}" data-id="${t.id}">` +
      escapeHTML(t.title) + (t.due ? ' <time>' + formatDate(t.due) + '</time>' : '') + '</li>');
    this.root.innerHTML = '<ul>' + rows.join('') + '</ul>';
  }
}

function parseQuery@N@(search) {
  // Splits "?a=1&b=2" into an object.
  const result = {};
  for (const part of search.replace(/^\?/, '').split('&')) {
    if (!part) continue;
    const [key, value = ''] = part.split('=').map(decodeURIComponent);
    result[key] = value;
  }
  return result;
}

const loadTasks@N@ = async (url) => {
  const response = await fetch(url, { headers: { Accept: 'application/json' } });
  if (!response.ok) {
    console.error("request failed", response.status);
    return [];
  }
  return response.json();
};

let pending@N@ = 0;
)SRC";

const char* const kCSSBlock = R"SRC(/* Layout and components, block @N@. */
@import url("theme@N@.css");

:root {
  --accent-@N@: #3366cc;
  --gap: 12px;
}

body, html {
  margin: 0;
  padding: 0;
  font-family: "Helvetica Neue", Arial, sans-serif;
  color: #222;
  background: #fafafa url("images/paper@N@.png") repeat;
}

.panel-@N@ > .header, #sidebar-@N@ .title {
  display: flex;
  align-items: center;
  justify-content: space-between;
  border-bottom: 1px solid rgba(0, 0, 0, 0.12);
  padding: calc(var(--gap) / 2) var(--gap);
}

a.button-@N@:hover, a.button-@N@:focus {
  color: white;
  background-color: var(--accent-@N@);
  text-decoration: none;
  transition: background-color 0.2s ease-in-out;
}

input[type="text"].field-@N@::placeholder {
  color: #999;
  font-style: italic;
}

@media (max-width: 600px) {
  .panel-@N@ { flex-direction: column; }
  #sidebar-@N@ { display: none !important; }
}
)SRC";

const char* const kHTMLBlock = R"SRC(<!-- Section @N@ of the catalogue page -->
<section class="catalogue" id="section-@N@">
  <h2 title="Products">Products &amp; prices</h2>
  <style>
    #section-@N@ .card { border: 1px solid #ddd; margin: 4px; }
    #section-@N@ .card:hover { box-shadow: 0 1px 4px rgba(0, 0, 0, 0.2); }
  </style>
  <div class="grid">
    <article class="card" data-sku="A-@N@">
      <img src="/img/a@N@.jpg" alt="Lamp" width="120" height="90">
      <h3>Desk lamp</h3>
      <p>A lamp with an <em>adjustable</em> arm &mdash; 39&nbsp;EUR.</p>
      <button type="button" onclick="addToCart('A-@N@')">Add</button>
    </article>
    <article class="card" data-sku="B-@N@">
      <img src="/img/b@N@.jpg" alt="Chair" width="120" height="90">
      <h3>Chair</h3>
      <p>Oak, with a <a href="/chairs?id=@N@">matching table</a>.</p>
      <button type="button" onclick="addToCart('B-@N@')">Add</button>
    </article>
  </div>
  <form action="/search" method="get">
    <label for="q-@N@">Search</label>
    <input id="q-@N@" name="q" type="search" placeholder="Find a product">
    <select name="sort"><option value="price">Price</option><option value="name" selected>Name</option></select>
  </form>
  <script>
    function addToCart@N@(sku) {
      const count = Number(localStorage.getItem(sku) || 0) + 1;
      localStorage.setItem(sku, String(count));
      document.querySelector('#section-@N@ .grid').dataset.count = count;
    }
  </script>
</section>
)SRC";

const char* const kXMLBlock = R"SRC(  <!-- Feed entry @N@ -->
  <entry id="entry-@N@" xml:lang="en">
    <title type="text">Release notes @N@</title>
    <link rel="alternate" href="https://example.org/notes/@N@"/>
    <updated>2021-03-14T09:26:53Z</updated>
    <author><name>Release team</name><email>team@example.org</email></author>
    <category term="software" scheme="urn:topics"/>
    <summary>Fixes &amp; small improvements &#8212; see the list.</summary>
    <content type="xhtml">
      <div xmlns="http://www.w3.org/1999/xhtml">
        <ul>
          <li>Faster start-up</li>
          <li>Fewer crashes when &lt;saving&gt;</li>
        </ul>
      </div>
    </content>
    <script><![CDATA[ if (a < b && c > d) { run(); } ]]></script>
  </entry>
)SRC";


// Second blocks: deeper nesting, escapes, regular expressions, closures,
// heredocs of every kind; a file mixes the blocks of its language.

const char* const kPHPBlock2 = R"SRC(<?php
declare(strict_types=1);

namespace App\Http\Controllers;

use App\Models\{User, Post};
use function App\Support\slugify;

/*
 * Controller @N@: validation with regular expressions, closures and
 * nested control flow.
 */
final class PostController@N@ extends Controller
{
    private const SLUG_PATTERN = '/^[a-z0-9]+(?:-[a-z0-9]+)*$/';
    private static array $routes = ['index' => "/posts", 'show' => "/posts/{id}"];

    public function __construct(private Logger $log, protected ?User $user = null)
    {
    }

    public function store(array $input): array
    {
        $errors = [];
        foreach (['title', 'slug', 'body'] as $field) {
            if (!isset($input[$field]) || trim((string) $input[$field]) === '') {
                $errors[$field] = "The \"$field\" field is required.";
                continue;
            }
            switch ($field) {
                case 'slug':
                    if (!preg_match(self::SLUG_PATTERN, $input['slug'])) {
                        $errors['slug'] = 'Only a-z, 0-9 and \'-\' are allowed';
                    }
                    break;
                case 'title':
                    $input['title'] = preg_replace('/\s+/', ' ', $input['title']);
                    break;
                default:
                    $input[$field] = str_replace(["\r\n", "\t"], ["\n", '    '], $input[$field]);
            }
        }
        $tags = array_values(array_filter(array_map(
            static fn(string $tag): string => strtolower(trim($tag, " \t#")),
            explode(',', $input['tags'] ?? '')
        ), function ($tag) use (&$errors) {
            if (strlen($tag) > 32) {
                $errors['tags'][] = sprintf('Tag "%s" is too long (%d > 32)', $tag, strlen($tag));
                return false;
            }
            return $tag !== '';
        }));
        $status = match (true) {
            count($errors) > 0 => 422,
            $this->user === null => 401,
            default => 201,
        };
        $this->log->info("store: status {$status}, tags: " . implode('|', $tags));
        $template = <<<'TPL'
<article data-id="%d">
  <h1>%s</h1>
  <p class="meta">$not_a_variable {$neither}</p>
</article>
TPL;
        return ['status' => $status, 'errors' => $errors, 'html' => sprintf($template, 0, htmlspecialchars($input['title'] ?? ''))];
    }
}
)SRC";

const char* const kPerlBlock2 = R"SRC(
=pod

=head1 NAME

Log::Parser@N@ - reads access logs

=cut

package Log::Parser@N@;
use strict;
use warnings;

my $LINE_RE = qr{^(\S+) \s+ \S+ \s+ (\S+) \s+ \[([^\]]+)\] \s+ "(\w+) \s+ ([^"]*?) \s+ HTTP/[\d.]+" \s+ (\d{3}) \s+ (\d+|-)}x;

sub parse_line_@N@ {
    my ($line) = @_;
    return unless defined $line && $line =~ $LINE_RE;
    my %entry = (host => $1, user => $2, time => $3, method => $4, path => $5, status => $6, bytes => $7);
    $entry{bytes} = 0 if $entry{bytes} eq '-';
    ($entry{query}) = $entry{path} =~ m/\?(.*)$/;
    $entry{path} =~ s{\?.*$}{};
    $entry{path} =~ tr/A-Z/a-z/;
    $entry{path} =~ s/%([0-9A-Fa-f]{2})/chr(hex($1))/ge;
    return \%entry;
}

sub summarize {
    my ($self, @entries) = @_;
    my (%by_status, %by_path);
    for my $e (grep { $_->{status} !~ /^3/ } @entries) {
        $by_status{ $e->{status} }++;
        $by_path{ $e->{path} } += $e->{bytes};
    }
    my @top = (sort { $by_path{$b} <=> $by_path{$a} || $a cmp $b } keys %by_path)[0 .. 4];
    my $report = <<"END";
Requests: ${\ scalar @entries}
Statuses: @{[ map { "$_=$by_status{$_}" } sort keys %by_status ]}
END
    $report .= sprintf("  %-40s %10d\n", $_, $by_path{$_}) for grep { defined } @top;
    return $report;
}

1;
)SRC";

const char* const kRubyBlock2 = R"SRC(# Parser for a tiny configuration language, block @N@.
module Config@N@
  KEY_RE = /\A(?<key>[a-z_][\w.]*)\s*=\s*(?<value>.+?)\s*\z/
  BOOLEANS = %w[true false yes no on off].freeze

  class Parser
    attr_accessor :strict

    def initialize(strict: false)
      @strict = strict
      @values = Hash.new { |h, k| h[k] = [] }
    end

    def parse(text)
      text.each_line.with_index(1) do |line, number|
        line = line.sub(/#.*$/, '').strip
        next if line.empty?
        if (m = KEY_RE.match(line))
          @values[m[:key]] << convert(m[:value])
        elsif @strict
          raise ArgumentError, "line #{number}: cannot read \"#{line[0, 20]}\""
        end
      end
      self
    end

    def convert(raw)
      case raw
      when /\A-?\d+\z/ then raw.to_i
      when /\A-?\d+\.\d+\z/ then raw.to_f
      when /\A"(.*)"\z/ then $1.gsub(/\\(.)/) { |c| { 'n' => "\n", 't' => "\t" }.fetch(c[1], c[1]) }
      else
        BOOLEANS.include?(raw.downcase) ? %w[true yes on].include?(raw.downcase) : raw
      end
    end

    def to_s
      @values.map { |k, v| "#{k} = #{v.size == 1 ? v.first.inspect : v.inspect}" }.join("\n")
    end
  end
end

SAMPLE_@N@ = <<~CONF
  # defaults
  name = "demo \\"@N@\\""
  threads = 4
  ratio = 0.75
CONF
)SRC";

const char* const kJavaScriptBlock2 = R"SRC(// Router @N@: patterns, templates inside templates, promise chains.
const ROUTES_@N@ = [
  { pattern: /^\/users\/(\d+)\/?$/i, name: 'user' },
  { pattern: /^\/posts\/([\w-]+)(?:\/comments\/(\d+))?$/, name: 'post' },
  { pattern: /^\/search\?q=([^&#]*)/, name: "search" },
];

export default class Router@N@ {
  #handlers = new Map();
  static #instances = 0;

  constructor(base = '/') {
    this.base = base.replace(/\/+$/, '');
    Router@N@.#instances += 1;
  }

  on(name, handler) {
    if (typeof handler !== 'function') {
      throw new TypeError(`handler for "${name}" must be a function, not ${typeof handler}`);
    }
    this.#handlers.set(name, handler);
    return this;
  }

  resolve(path) {
    const clean = decodeURIComponent(path).replace(this.base, '') || '/';
    for (const { pattern, name } of ROUTES_@N@) {
      const match = pattern.exec(clean);
      if (match) {
        const handler = this.#handlers.get(name);
        return handler ? handler(...match.slice(1)) : null;
      }
    }
    return this.notFound(clean);
  }

  notFound(path) {
    const rows = path.split('/').filter(Boolean).map((part, i) => `<li data-depth="${i}">${
      part.length > 20 ? `${part.slice(0, 17)}\u2026` : part
    }</li>`);
    return `<h1>Not found</h1>\n<ul class='crumbs'>${rows.join('')}</ul>`;
  }
}

/* Fetches every address, retrying on "429 Too Many Requests". */
export async function fetchAll@N@(urls, { retries = 2, timeout = 5000 } = {}) {
  const results = await Promise.all(urls.map(async (url) => {
    for (let attempt = 0; attempt <= retries; attempt++) {
      try {
        const controller = new AbortController();
        const timer = setTimeout(() => controller.abort(), timeout);
        const res = await fetch(url, { signal: controller.signal });
        clearTimeout(timer);
        if (res.status === 429) continue;
        return { url, ok: res.ok, body: res.ok ? await res.text() : '' };
      } catch (err) {
        if (attempt === retries) return { url, ok: false, error: String(err).replace(/\s+/g, ' ') };
      }
    }
    return { url, ok: false };
  }));
  const total = results.reduce((n, r) => n + (r.ok ? 1 : 0), 0) / results.length * 100;
  console.log('fetched %d%% of %d urls', Math.round(total), urls.length);
  return results;
}
)SRC";

const char* const kCSSBlock2 = R"SRC(/* ==========================================================
   Cards and grid, block @N@
   ========================================================== */
.grid-@N@ {
  display: grid;
  grid-template-columns: repeat(auto-fill, minmax(220px, 1fr));
  grid-template-areas: "head head" "side main";
  gap: var(--gap, 16px);
}
.card-@N@::before { content: "\201C"; font: italic 2em/1 Georgia, serif; }
.card-@N@[data-state="open"] > .body:not(.empty) { max-height: none; }
@supports (display: grid) and (not (display: inline-grid)) {
  @media screen and (min-width: 768px) and (max-width: 1199.98px) {
    .grid-@N@ { grid-template-columns: 1fr 1fr 1fr; }
    .card-@N@:nth-child(3n + 1) { border-left: 0; }
  }
}
@keyframes pulse-@N@ {
  0%, 100% { transform: scale(1); opacity: 1; }
  50% { transform: scale(1.05) translateY(-2px); opacity: .85; }
}
.icon-@N@ { background: url('data:image/svg+xml;utf8,<svg xmlns="http://www.w3.org/2000/svg"/>') no-repeat center / 16px 16px; }
)SRC";

const char* const kHTMLBlock2 = R"SRC(<!-- Order table @N@ -->
<table class="orders" id="orders-@N@" data-sort="desc">
  <thead><tr><th scope="col">#</th><th scope="col">Customer</th><th scope="col">Total&nbsp;&euro;</th></tr></thead>
  <tbody>
    <tr class="odd"><td>1</td><td>M&uuml;ller &amp; Sons</td><td>1&#8239;200.00</td></tr>
    <tr><td>2</td><td><a href="/c?id=2&amp;tab=orders" title="Open &quot;Kim&quot;">Kim</a></td><td>75.50</td></tr>
  </tbody>
</table>
<script type="module">
  const table@N@ = document.getElementById('orders-@N@');
  const money = /^(\d{1,3}(?:\u202f\d{3})*)\.(\d{2})$/;
  table@N@.addEventListener('click', (event) => {
    const cell = event.target.closest('td');
    if (!cell || !money.test(cell.textContent.replace('&#8239;', ''))) return;
    cell.classList.toggle('picked');
    console.info(`picked ${cell.textContent} in row ${cell.parentElement.rowIndex}`);
  });
</script>
<iframe src="/embed/@N@?autoplay=0" width="560" height="315" loading="lazy" allowfullscreen></iframe>
)SRC";

const char* const kXMLBlock2 = R"SRC(  <?render mode="full" block="@N@"?>
  <config:section xmlns:config="urn:example:config" name="db-@N@">
    <!-- connection settings; entities such as &amp; stay as they are -->
    <config:entry key="url" value="jdbc:postgresql://db@N@.example.org:5432/app?ssl=true&amp;timeout=30"/>
    <config:entry key="pool.max" value="16"/>
    <config:list key="hosts">
      <config:item weight="2">alpha.example.org</config:item>
      <config:item weight="1">beta.example.org</config:item>
    </config:list>
    <config:script lang="sql"><![CDATA[
      SELECT id, name FROM users WHERE created_at > '2020-01-01' AND name <> '';
    ]]></config:script>
  </config:section>
)SRC";

// Blocks of the language, one after another in an order that looks random
// but is always the same, each numbering its names, until the text reaches
// size bytes.
std::string Repeat(std::vector<const char*> blocks, size_t size, const char* head = "", const char* tail = "") {
  std::string text = head;
  text.reserve(size + 8192);
  unsigned seed = 2463534242u;
  for (int n = 1; text.size() < size; ++n) {
    seed ^= seed << 13;
    seed ^= seed >> 17;
    seed ^= seed << 5;
    const std::string b = blocks[seed % blocks.size()];
    const std::string number = std::to_string(n);
    size_t from = 0;
    for (size_t at = b.find("@N@"); at != std::string::npos; at = b.find("@N@", from)) {
      text.append(b, from, at - from);
      text += number;
      from = at + 3;
    }
    text.append(b, from, std::string::npos);
  }
  text += tail;
  return text;
}

std::string Source(const std::string& language, size_t size) {
  if (language == "php") return Repeat({kPHPBlock, kPHPBlock2}, size);
  if (language == "perl") return Repeat({kPerlBlock, kPerlBlock2}, size, "#!/usr/bin/perl\n");
  if (language == "ruby") return Repeat({kRubyBlock, kRubyBlock2}, size, "# frozen_string_literal: true\n");
  if (language == "javascript") return Repeat({kJavaScriptBlock, kJavaScriptBlock2}, size, "'use strict';\n");
  if (language == "css") return Repeat({kCSSBlock, kCSSBlock2}, size, "@charset \"utf-8\";\n");
  if (language == "html")
    return Repeat({kHTMLBlock, kHTMLBlock2}, size,
                  "<!DOCTYPE html>\n<html lang=\"en\">\n<head><title>Catalogue</title></head>\n<body>\n",
                  "</body>\n</html>\n");
  return Repeat({kXMLBlock, kXMLBlock2}, size,
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<feed xmlns=\"http://www.w3.org/2005/Atom\">\n",
                "</feed>\n");
}

const char* Extension(const std::string& language) {
  if (language == "php") return "php";
  if (language == "perl") return "pl";
  if (language == "ruby") return "rb";
  if (language == "javascript") return "js";
  if (language == "css") return "css";
  if (language == "html") return "html";
  return "xml";
}

// The source as a minifier leaves it: no line comments, no indentation, and
// lines of about lineLength bytes broken after a statement or a rule.
std::string Minified(const std::string& language, size_t size, size_t lineLength) {
  const std::string source = Source(language, size);
  std::string out;
  out.reserve(source.size());
  size_t lineStart = 0;
  size_t pos = 0;
  while (pos < source.size()) {
    size_t end = source.find('\n', pos);
    if (end == std::string::npos) end = source.size();
    std::string line = source.substr(pos, end - pos);
    pos = end + 1;
    const size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos) continue;
    line.erase(0, first);
    if (line.compare(0, 2, "//") == 0) continue;
    // Block comments go as well (each starts a line of its own here).
    if (line.compare(0, 2, "/*") == 0) {
      while (line.find("*/") == std::string::npos && pos < source.size()) {
        end = source.find('\n', pos);
        if (end == std::string::npos) end = source.size();
        line = source.substr(pos, end - pos);
        pos = end + 1;
      }
      continue;
    }
    if (const size_t comment = line.find(" // "); comment != std::string::npos) line.erase(comment);
    out += line;
    const char last = out.empty() ? 0 : out.back();
    if (out.size() - lineStart >= lineLength && (last == ';' || last == '}')) {
      out += '\n';
      lineStart = out.size();
    } else if (language == "javascript" && last != ';' && last != '{' && last != '}' && last != ',') {
      out += ' ';
    }
  }
  out += '\n';
  return out;
}

// --- Scanning ---------------------------------------------------------------------

// Every language at once; or, for folders, each read at its first use, so
// that a run pays only for the languages its files need.
struct Languages {
  std::unique_ptr<TSyntaxCollection> collection;
  explicit Languages(bool lazily) {
    collection.reset(CreateSyntaxCollection(nullptr));
    for (const char* language : kLanguages) {
      if (lazily)
        collection->DeferLibrary(Str63(language));
      else
        collection->LoadLibrary(Str63(language));
    }
  }
};

FSRef RefOf(const fs::path& path) {
  FSRef ref{};
  const std::string p = path.string();
  FSPathMakeRef(reinterpret_cast<const UInt8*>(p.c_str()), &ref, nullptr);
  return ref;
}

// A scratch folder, removed with the object.
struct Scratch {
  fs::path path;
  Scratch() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = ((base ? fs::path(base) : fs::temp_directory_path()) / "qv-scan-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path = pattern;
  }
  ~Scratch() {
    std::error_code ignored;
    if (!path.empty()) fs::remove_all(path, ignored);
  }
};

void AddSymbolDigest(SymbolInfoPtr info, CFTreeRef, void* context) {
  auto* digest = static_cast<std::pair<size_t, UInt64>*>(context);
  ++digest->first;
  for (int i = 0; i <= info->symbolName.len(); ++i) digest->second = (digest->second ^ info->symbolName.s[i]) * 1099511628211ull;
  for (int i = 0; i <= info->parentName.len(); ++i) digest->second = (digest->second ^ info->parentName.s[i]) * 1099511628211ull;
  digest->second = (digest->second ^ UInt64(info->styleIndex)) * 1099511628211ull;
}

struct ScanResult {
  double seconds = 0;
  size_t bytes = 0;
  size_t runs = 0, styleCalls = 0, symbols = 0;
  UInt64 digest = 0;
  bool ok = false;
};

// One whole-file parse into a fresh index, as the editor opens a file.
ScanResult ScanFile(Languages& languages, const fs::path& path, const fs::path& indexFolder) {
  ScanResult r;
  std::error_code error;
  r.bytes = size_t(fs::file_size(path, error));
  fs::create_directories(indexFolder, error);
  TFileSystem* index = CreateFileSystem(RefOf(indexFolder), languages.collection.get(), nullptr);
  StyleKeeper keeper;
  keeper.Reserve(r.bytes);
  SyntaxParserSource source;
  source.file = RefOf(path);
  source.controller = &keeper;
  SyntaxParserDestination destination;
  destination.fileSystem = index;
  destination.collection = languages.collection.get();

  const double start = ThreadSeconds();
  auto* process = new TSyntaxParserProcess();
  if (process->Create(source, destination) == 0) {
    TSyntaxParserProcess* next = nullptr;
    while (process->Run(next) == 1) {
    }
    r.ok = true;
  }
  process->Free();
  r.seconds = ThreadSeconds() - start;

  r.runs = keeper.Runs(r.digest);
  r.styleCalls = keeper.styleCalls;
  std::pair<size_t, UInt64> symbols{0, r.digest};
  index->ExamineSymbols(
      [](SymbolInfoPtr info, const FileDescriptor&, const Str255&, CFTreeRef node, void* context) -> SInt16 {
        AddSymbolDigest(info, node, context);
        return 0;
      },
      &symbols);
  r.symbols = symbols.first;
  r.digest = symbols.second;
  index->Release();
  return r;
}

void PrintScan(const std::string& label, const ScanResult& r) {
  const double mb = double(r.bytes) / 1e6;
  const double rate = r.seconds > 0 ? mb / r.seconds : 0.0;
  std::printf("%-26s %7.2f MB %8.3f s %8.1f MB/s %9zu runs %9zu styles %7zu symbols  digest %016llx%s\n",
              label.c_str(), mb, r.seconds, rate, r.runs, r.styleCalls, r.symbols,
              static_cast<unsigned long long>(r.digest),
              !r.ok ? "  (not scanned)" : rate >= 100.0 ? "  [goal 100 MB/s: meets]" : "  [goal 100 MB/s: misses]");
}

struct IndexResult {
  size_t files = 0, bytes = 0, symbols = 0, globals = 0;
  double seconds = 0;
  UInt64 digest = 0;
  std::map<std::string, size_t> kinds;  // symbols by their definition's name
};

// One file's symbols in their order, with the file's key; the files are
// summed, so that the order of the file table does not count.
struct TreeDigest {
  size_t symbols = 0;
  UInt64 sum = 0;
  const FileDescriptor* file = nullptr;
  UInt64 current = 0;
  std::map<std::string, size_t>* kinds = nullptr;
  void Close() {
    if (file != nullptr) sum += current;
    file = nullptr;
  }
};

// Every file of a known language under the folder, parsed into one index
// without a view, as the editor builds a project's index.
IndexResult IndexFolder(Languages& languages, const fs::path& folder, const fs::path& indexFolder) {
  IndexResult r;
  std::vector<fs::path> paths;
  std::set<std::string> missing;
  std::error_code error;
  for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error), end;
       it != end; it.increment(error)) {
    if (error) break;
    if (!it->is_regular_file(error)) continue;
    const std::string name = it->path().filename().string();
    if (name.size() > 63) continue;
    if (languages.collection->GetFileLibrary(Str63(name.c_str())) == nullptr) {
      const Str63 language = GetSupportedFileLanguage(Str63(name.c_str()));
      if (!language.empty() && missing.insert(language.str()).second)
        std::fprintf(stderr, "qv-scan: the %s language could not be loaded from %s; its files are left out\n",
                     language.str().c_str(), std::getenv("QUORVEL_BUNDLE"));
      continue;
    }
    paths.push_back(it->path());
    r.bytes += size_t(it->file_size(error));
  }
  std::sort(paths.begin(), paths.end());
  r.files = paths.size();
  fs::create_directories(indexFolder, error);

  const double start = ThreadSeconds();
  TFileSystem* index = CreateFileSystem(RefOf(indexFolder), languages.collection.get(), nullptr);
  SyntaxParserDestination destination;
  destination.fileSystem = index;
  destination.collection = languages.collection.get();
  for (const fs::path& path : paths) {
    SyntaxParserSource source;
    source.file = RefOf(path);
    auto* process = new TSyntaxParserProcess();
    if (process->Create(source, destination) == 0) {
      TSyntaxParserProcess* next = nullptr;
      while (process->Run(next) == 1) {
      }
    }
    process->Free();
    AdviseHeap();
  }
  r.seconds = ThreadSeconds() - start;

  TreeDigest digest;
  digest.kinds = &r.kinds;
  index->ExamineSymbols(
      [](SymbolInfoPtr info, const FileDescriptor& file, const Str255&, CFTreeRef node, void* context) -> SInt16 {
        auto* d = static_cast<TreeDigest*>(context);
        if (d->file != &file) {
          d->Close();
          d->file = &file;
          d->current = 14695981039346656037ull;
          for (int i = 0; i <= file.fileName.len(); ++i) d->current = (d->current ^ file.fileName.s[i]) * 1099511628211ull;
        }
        std::pair<size_t, UInt64> one{0, d->current};
        AddSymbolDigest(info, node, &one);
        d->current = one.second;
        ++d->symbols;
        ++(*d->kinds)[info->definitionName.str()];
        // QV_SCAN_SYMBOLS=1 lists them too, to compare with another index.
        static const bool list = std::getenv("QV_SCAN_SYMBOLS") != nullptr;
        if (list)
          std::printf("symbol\t%s\t%s\t%s\t%s\n", info->symbolName.str().c_str(), info->definitionName.str().c_str(),
                      file.fileName.str().c_str(), info->parentName.str().c_str());
        return 0;
      },
      &digest);
  digest.Close();
  r.symbols = digest.symbols;
  r.digest = digest.sum;
  // The globals: each name with the file it came from.
  std::vector<const void*> keys(size_t(CFDictionaryGetCount(index->globals))), values(keys.size());
  if (!keys.empty()) CFDictionaryGetKeysAndValues(index->globals, keys.data(), values.data());
  for (const void* value : values) {
    const auto* info = static_cast<const SymbolInfo*>(value);
    UInt64 h = 14695981039346656037ull;
    for (int i = 0; i <= info->symbolName.len(); ++i) h = (h ^ info->symbolName.s[i]) * 1099511628211ull;
    for (int i = 0; i <= info->fileName.len(); ++i) h = (h ^ info->fileName.s[i]) * 1099511628211ull;
    r.digest += h * 31;
  }
  r.globals = keys.size();
  index->Release();
  return r;
}

void PrintIndex(const std::string& label, const IndexResult& r) {
  const double mb = double(r.bytes) / 1e6;
  std::printf("%-26s %7.2f MB %8.3f s %8.1f MB/s %6zu files %8zu symbols %8zu global names  digest %016llx"
              "  (%.3f ms a file)\n",
              label.c_str(), mb, r.seconds, r.seconds > 0 ? mb / r.seconds : 0.0, r.files, r.symbols, r.globals,
              static_cast<unsigned long long>(r.digest), r.files > 0 ? r.seconds * 1e3 / double(r.files) : 0.0);
  std::string kinds;
  for (const auto& [kind, count] : r.kinds) kinds += (kinds.empty() ? "" : ", ") + kind + " " + std::to_string(count);
  if (!kinds.empty()) std::printf("%-26s kinds: %s\n", "", kinds.c_str());
}

void WriteFile(const fs::path& path, const std::string& text) {
  std::error_code error;
  fs::create_directories(path.parent_path(), error);
  std::ofstream(path, std::ios::binary) << text;
}

// A tree of PHP files of varied sizes (2,000 bytes and up to spread more) in
// nested folders, about size bytes.
void WritePHPTree(const fs::path& root, size_t size, size_t spread = 60000) {
  size_t written = 0;
  unsigned seed = 12345;
  for (int n = 1; written < size; ++n) {
    seed = seed * 1103515245u + 12345u;
    const size_t fileSize = 2000 + (seed >> 8) % spread;
    const fs::path path = root / ("Module" + std::to_string(n % 17)) / ("Part" + std::to_string(n % 5)) /
                          ("Class" + std::to_string(n) + ".php");
    std::string text = Repeat({kPHPBlock, kPHPBlock2}, fileSize);
    written += text.size();
    WriteFile(path, text);
  }
}


// --- Keystrokes -------------------------------------------------------------------
// The editor's road of one edit: a character typed into a text engine that
// holds a 1 MB PHP file (parsed whole before), the stretch around it widened
// from the styles that parse left, and that stretch parsed again through the
// engine's controller, synchronously.

struct Reparse {
  double seconds = 0, widening = 0;
  SInt32 from = 0, to = 0;  // the widened stretch
  SInt32 reached = 0;       // the last position the parse visited
  // In parts (as the editor does): the slices after the key, and the
  // characters they went through.
  double later = 0;
};

// A screenful: what the editor parses at once past an edit when the view
// shows that much after it.
constexpr SInt32 kScreenful = 4096;

void ParseThrough(TWASTEController& controller, SyntaxLibraryPtr library, CFRange span, bool incremental,
                  SInt32* reached = nullptr) {
  SyntaxParserSource source;
  source.library = library;
  source.span = span;
  source.controller = &controller;
  SyntaxParserDestination destination;
  auto* process = new TSyntaxParserProcess();
  process->incremental = incremental;
  process->fromController = incremental;
  if (process->Create(source, destination) == 0) {
    TSyntaxParserProcess* next = nullptr;
    SInt32 last = 0;
    for (;;) {
      last = process->state.absoluteOffset;
      if (process->Run(next) != 1) break;
    }
    if (reached != nullptr) *reached = std::max(last, process->state.absoluteOffset);
  }
  process->Free();
}

// With parts, the key parses a screenful past the edit, and the slices
// after it (timed apart) the rest, before the next key.
Reparse TypeAt(Languages& languages, WEReference we, TWASTEController& controller, SInt32 offset,
               const std::u16string& typed, TDynamicReparse* parts = nullptr) {
  WEPut(offset, offset, typed.data(), typed.size() * sizeof(char16_t), kTextEncodingUnicodeDefault, 0, 0, nullptr,
        nullptr, we);
  Reparse r;
  const double start = ThreadSeconds();
  const SInt32 delta = SInt32(typed.size());
  // As the editor does: the scope marks beside the text follow the change.
  controller.TextChanged(offset, delta);
  if (parts != nullptr) parts->TextChanged(offset, delta);
  const CFRange span = FindContinuosRange(CFRangeMake(offset - 1, delta > 1 ? offset + delta : offset), &controller);
  r.widening = ThreadSeconds() - start;
  // The language in force at the edit, else the file's own.
  SyntaxLibraryPtr library = languages.collection->GetLanguageLibrary(controller.GetEmbeddedLanguage(offset));
  if (library == nullptr) library = languages.collection->GetLanguageLibrary(Str63("html"));
  if (parts == nullptr) {
    ParseThrough(controller, library, span, true, &r.reached);
  } else {
    SyntaxParserSource source;
    source.library = library;
    source.span = span;
    source.controller = &controller;
    parts->Reparse(source, SyntaxParserDestination(), offset + delta + kScreenful);
    r.reached = parts->Reached();
  }
  r.seconds = ThreadSeconds() - start;
  r.from = SInt32(span.location);
  r.to = SInt32(span.length);
  if (parts != nullptr && parts->Working()) {
    const double begin = ThreadSeconds();
    while (parts->Continue(kScreenful)) {
    }
    r.later = ThreadSeconds() - begin;
  }
  return r;
}

struct Timings {
  std::vector<double> times, widening, characters, later;
  Reparse last;
  void Add(const Reparse& r) {
    times.push_back(r.seconds);
    widening.push_back(r.widening);
    characters.push_back(double(std::max<SInt32>(r.reached - r.from + 1, 0)));
    later.push_back(r.later);
    last = r;
  }
  void Print(const char* label) {
    if (times.empty()) return;
    for (auto* v : {&times, &widening, &characters, &later}) std::sort(v->begin(), v->end());
    const size_t p90 = std::min(times.size() - 1, times.size() * 9 / 10);
    std::printf("  %-22s median %8.1f us  max %8.1f us  (widening: median %.1f us)  characters a key: median %.0f, "
                "90%% %.0f, most %.0f  %zu edits; the last re-parsed %d..%d and ran to %d\n",
                label, times[times.size() / 2] * 1e6, times.back() * 1e6, widening[widening.size() / 2] * 1e6,
                characters[characters.size() / 2], characters[p90], characters.back(), times.size(), int(last.from),
                int(last.to), int(last.reached));
    if (later.back() > 0)
      std::printf("  %-22s   then in slices after the key: median %.1f us, most %.1f us\n", "", later[later.size() / 2] * 1e6,
                  later.back() * 1e6);
  }
};

// An edit that turns the whole rest of a file (a 1 MB JavaScript file in
// which a comment is opened that nothing closes), parsed through at once,
// and in parts: a screenful now, the rest in slices from idle time.
void OpenToTheEnd(Languages& languages) {
  std::string js = Source("javascript", 1u << 20);
  // No block comment opens or closes after the middle.
  for (const char* mark : {"/*", "*/"})
    for (size_t at = js.find(mark, js.size() / 2); at != std::string::npos; at = js.find(mark, at)) js[at + 1] = '.';
  std::u16string text(js.begin(), js.end());
  for (char16_t& c : text)
    if (c == u'\n') c = u'\r';
  LongRect frame{0, 0, 800, 1000};
  WEReference we = nullptr;
  if (WENew(&frame, &frame, weDoUndo | weDoMultipleUndo | weDoAutoScroll, &we) != noErr) return;
  TWASTEController controller;
  controller.SetWEReference(we);
  controller.Initialize();
  WEPut(0, 0, text.data(), text.size() * sizeof(char16_t), kTextEncodingUnicodeDefault, 0, 0, nullptr, nullptr, we);
  SyntaxLibraryPtr library = languages.collection->GetLanguageLibrary(Str63("javascript"));
  ParseThrough(controller, library, CFRangeMake(0, SInt32(text.size())), false);
  const SInt32 at = SInt32(js.find("\nfunction ", js.size() / 2) + 1);
  const std::u16string typed(u"/*");
  const SInt32 count = SInt32(typed.size());
  auto put = [&]() {
    WEPut(at, at, typed.data(), typed.size() * sizeof(char16_t), kTextEncodingUnicodeDefault, 0, 0, nullptr, nullptr,
          we);
    controller.TextChanged(at, count);
  };
  auto remove = [&]() {
    WESetSelection(at, at + count, we);
    WEDelete(we);
    controller.TextChanged(at, -count);
    ParseThrough(controller, library, FindContinuosRange(CFRangeMake(at - 1, at + 1), &controller), true);
  };
  put();
  double begin = ThreadSeconds();
  SInt32 reached = 0;
  ParseThrough(controller, library, FindContinuosRange(CFRangeMake(at - 1, at + count), &controller), true, &reached);
  const double once = ThreadSeconds() - begin;
  std::printf("  %-22s %8.1f us, ran to %d of %d (at once, 1 MB of JavaScript)\n", "comment left open", once * 1e6,
              int(reached), int(WEGetTextLength(we)));
  remove();

  TDynamicReparse reparse;
  put();
  begin = ThreadSeconds();
  reparse.TextChanged(at, count);
  const CFRange span = FindContinuosRange(CFRangeMake(at - 1, at + count), &controller);
  SyntaxParserSource source;
  source.library = library;
  source.span = span;
  source.controller = &controller;
  reparse.Reparse(source, SyntaxParserDestination(), SInt32(span.length) + 4096);
  const double now = ThreadSeconds() - begin;
  int slices = 0;
  double rest = 0, longest = 0;
  for (bool more = reparse.Pending(); more; ++slices) {
    begin = ThreadSeconds();
    more = reparse.Continue(16384);
    const double t = ThreadSeconds() - begin;
    rest += t;
    longest = std::max(longest, t);
  }
  std::printf("  %-22s %8.1f us now (a screenful), then %d slices of 16384 characters: %.1f ms in all, the longest "
              "%.1f us (in parts)\n",
              "comment left open", now * 1e6, slices, rest * 1e3, longest * 1e6);
  WEDispose(we);
}

void Keystrokes(Languages& languages) {
  std::string php = Source("php", 1u << 20);
  std::u16string text(php.begin(), php.end());
  for (char16_t& c : text)
    if (c == u'\n') c = u'\r';
  LongRect frame{0, 0, 800, 1000};
  WEReference we = nullptr;
  if (WENew(&frame, &frame, weDoUndo | weDoMultipleUndo | weDoAutoScroll, &we) != noErr) {
    std::printf("keystrokes: no text engine\n");
    return;
  }
  TWASTEController controller;
  controller.SetWEReference(we);
  controller.Initialize();
  WEPut(0, 0, text.data(), text.size() * sizeof(char16_t), kTextEncodingUnicodeDefault, 0, 0, nullptr, nullptr, we);
  const double start = ThreadSeconds();
  // The whole text, as the editor refreshes a file it shows.
  ParseThrough(controller, languages.collection->GetLanguageLibrary(Str63("html")),
               CFRangeMake(0, SInt32(text.size())), false);
  const double whole = ThreadSeconds() - start;
  std::printf("Keystrokes in a %.2f MB PHP file held by the text engine (whole parse through it: %.3f s, %.1f MB/s):\n",
              double(php.size()) / 1e6, whole, double(php.size()) / 1e6 / whole);

  // The text as typed so far, to find the places of the next edits.
  std::string current = php;
  TDynamicReparse parts;
  TDynamicReparse* inParts = nullptr;
  Timings all;
  auto type = [&](size_t at, const char* what) {
    const std::u16string typed(what, what + std::strlen(what));
    current.insert(at, what);
    const Reparse r = TypeAt(languages, we, controller, SInt32(at), typed, inParts);
    all.Add(r);
    return r;
  };
  // Edits after the middle: a letter in a name, a blank in code, a letter in
  // a comment and one in a string; then quotes that open a string (the rest
  // of the file turns inside out) and close it again, and a comment opened
  // and closed.
  struct Kind {
    const char* label;
    const char* find;  // the edit goes right after this text
    const char* typed;
  };
  const Kind kinds[] = {{"letter in a name", "$summ", "x"},
                        {"blank in code", "return", " "},
                        {"letter in a comment", "// VAT", "x"},
                        {"letter in a string", "'Only a-z", "x"},
                        // In the HTML between blocks, where the re-parse
                        // enters the long block that follows; and in a short
                        // block inside the HTML.
                        {"letter before a block", "</div>\n", "x"},
                        {"letter in a short block", "<?= $summary['coun", "x"}};
  struct Pair {
    const char* open;
    const char* close;
    const char* find;
    const char* typed;
  };
  const Pair pairs[] = {{"quote opening a string", "quote closing it", "$this->db = ", "'"},
                        {"comment opened", "comment closed", "$row = ", "/*"}};
  // At once, as a key was re-parsed before; then in parts, as the editor
  // does now: a screenful past the edit, the rest in slices.
  for (TDynamicReparse* mode : {static_cast<TDynamicReparse*>(nullptr), &parts}) {
    inParts = mode;
    all = Timings();
    std::printf(mode == nullptr ? " at once:\n" : " in parts (a screenful of %d characters at the key):\n", kScreenful);
    for (const Kind& kind : kinds) {
      Timings timings;
      size_t from = current.size() / 2;
      for (int k = 0; k < 25; ++k) {
        const size_t at = current.find(kind.find, from);
        if (at == std::string::npos) break;
        timings.Add(type(at + std::strlen(kind.find), kind.typed));
        from = at + 5000;
      }
      timings.Print(kind.label);
    }
    for (const Pair& pair : pairs) {
      Timings opening, closing;
      size_t from = current.size() / 2;
      for (int k = 0; k < 10; ++k) {
        const size_t at = current.find(pair.find, from);
        if (at == std::string::npos) break;
        const size_t place = at + std::strlen(pair.find);
        opening.Add(type(place, pair.typed));
        // The close right after the opening: "''" or "/**/".
        closing.Add(type(place + std::strlen(pair.typed), pair.typed[0] == '/' ? "*/" : pair.typed));
        from = at + 5000;
      }
      opening.Print(pair.open);
      closing.Print(pair.close);
    }
    all.Print("every key");
  }

  WEDispose(we);
}

int Standard(Languages& languages) {
  Scratch scratch;
  if (scratch.path.empty()) {
    std::fprintf(stderr, "qv-scan: no scratch folder\n");
    return 1;
  }
  const size_t kFileSize = 5u << 20;
  std::printf("One file per language (%zu bytes each), scanned with styles and symbols:\n", kFileSize);
  for (const char* language : kLanguages) {
    const fs::path path = scratch.path / (std::string("sample.") + Extension(language));
    WriteFile(path, Source(language, kFileSize));
    PrintScan(language, ScanFile(languages, path, scratch.path / "index" / language));
    fs::remove(path);
  }
  std::printf("Minified sources (one long line after another):\n");
  for (const char* language : {"javascript", "css"}) {
    for (size_t line : {10000u, 80000u}) {
      const fs::path path = scratch.path / (std::string("min.") + Extension(language));
      WriteFile(path, Minified(language, kFileSize, line));
      PrintScan(std::string(language) + " lines " + std::to_string(line / 1000) + " KB",
                ScanFile(languages, path, scratch.path / "index" / ("min" + std::to_string(line) + language)));
      fs::remove(path);
    }
  }
  Keystrokes(languages);
  OpenToTheEnd(languages);
  const fs::path tree = scratch.path / "tree";
  WritePHPTree(tree, 30u << 20);
  std::printf("A project indexed (no view):\n");
  PrintIndex("php tree", IndexFolder(languages, tree, scratch.path / "index" / "tree"));
  // As many bytes in about 5,000 smaller files, where what each file costs
  // apart from its bytes shows.
  const fs::path small = scratch.path / "small";
  WritePHPTree(small, 30u << 20, 6000);
  PrintIndex("php tree, small files", IndexFolder(languages, small, scratch.path / "index" / "small"));
  return 0;
}

// An index makes hundreds of thousands of small records. The heap is given
// its room in one piece, advised to be backed by huge pages (where the
// system gives them on request), and keeps what is freed: otherwise the run
// stops at a page fault for every 4 KB it touches, which on a virtual
// machine costs more than the scan of those bytes. Called again as the
// heap grows, for the part past what was advised. Only with QV_SCAN_HEAP=1:
// the program's own index runs on the usual heap, and so do the figures
// measured against it unless asked.
void AdviseHeap() {
  static const bool asked = std::getenv("QV_SCAN_HEAP") != nullptr && *std::getenv("QV_SCAN_HEAP") == '1';
  if (!asked) return;
  constexpr uintptr_t kHugePage = uintptr_t(2) << 20;
  static uintptr_t advised = 0;
  if (advised == 0) {
    constexpr size_t kRoom = size_t(192) << 20;
    mallopt(M_MMAP_THRESHOLD, int(kRoom * 2));
    mallopt(M_TRIM_THRESHOLD, int(kRoom * 4));
    mallopt(M_TOP_PAD, 32 << 20);
    void* room = std::malloc(kRoom);
    advised = (reinterpret_cast<uintptr_t>(room) + kHugePage - 1) & ~(kHugePage - 1);
    std::free(room);  // kept by the heap, for the records to come
  }
  const uintptr_t top = reinterpret_cast<uintptr_t>(sbrk(0)) & ~(kHugePage - 1);
  if (top <= advised) return;
  madvise(reinterpret_cast<void*>(advised), top - advised, MADV_HUGEPAGE);
  advised = top;
}

}  // namespace

int main(int argc, char** argv) {
  AdviseHeap();
  // The languages come from the bundle this program was built with.
  const char* named = std::getenv("QUORVEL_BUNDLE");
  if (named == nullptr || *named == '\0') setenv("QUORVEL_BUNDLE", QUORVEL_BUNDLE_DIR, 1);
  // Folders read only the languages their files need; a single file's scan
  // is timed without the reading of its language.
  bool lazily = argc > 1 && argv[1][0] != '-';
  for (int i = 1; lazily && i < argc; ++i) {
    std::error_code error;
    lazily = fs::is_directory(argv[i], error);
  }
  Languages languages(lazily);
  if (!lazily && languages.collection->GetLibraryCount() != CFIndex(std::size(kLanguages))) {
    std::fprintf(stderr, "qv-scan: %ld of %zu languages loaded from %s\n",
                 static_cast<long>(languages.collection->GetLibraryCount()), std::size(kLanguages),
                 std::getenv("QUORVEL_BUNDLE"));
    return 1;
  }
  if (argc < 2) return Standard(languages);
  if (std::string(argv[1]) == "--keystrokes") {
    Keystrokes(languages);
    OpenToTheEnd(languages);
    return 0;
  }
  if (std::string(argv[1]) == "--generate-tree" && argc >= 3) {
    WritePHPTree(argv[2], argc > 3 ? size_t(std::strtoull(argv[3], nullptr, 10)) : size_t(30u << 20),
                 argc > 4 ? std::max<size_t>(1, std::strtoull(argv[4], nullptr, 10)) : size_t(60000));
    return 0;
  }
  if (std::string(argv[1]) == "--generate") {
    if (argc < 3) {
      std::fprintf(stderr, "qv-scan: --generate FOLDER [SIZE]\n");
      return 1;
    }
    const size_t size = argc > 3 ? size_t(std::strtoull(argv[3], nullptr, 10)) : size_t(5u << 20);
    const fs::path folder = argv[2];
    for (const char* language : kLanguages)
      WriteFile(folder / (std::string("sample.") + Extension(language)), Source(language, size));
    WriteFile(folder / "min.js", Minified("javascript", size, 80000));
    WriteFile(folder / "min.css", Minified("css", size, 80000));
    return 0;
  }
  Scratch scratch;
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    const fs::path path = argv[i];
    std::error_code error;
    const fs::path indexFolder = scratch.path / ("index" + std::to_string(i));
    if (fs::is_directory(path, error)) {
      PrintIndex(path.filename().string(), IndexFolder(languages, path, indexFolder));
    } else if (fs::is_regular_file(path, error)) {
      PrintScan(path.filename().string(), ScanFile(languages, path, indexFolder));
    } else {
      std::fprintf(stderr, "qv-scan: %s: no such file or folder\n", argv[i]);
      status = 1;
    }
  }
  return status;
}
