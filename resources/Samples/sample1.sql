-- The sample database shipped beside the program.
PRAGMA foreign_keys = ON;

CREATE TABLE customers (
    id INTEGER PRIMARY KEY,
    name TEXT NOT NULL,
    city TEXT,
    country TEXT,
    email TEXT
);
INSERT INTO customers (name, city, country, email) VALUES
    ('Ann Hartley', 'Leeds', 'United Kingdom', 'ann.hartley@example.com'),
    ('Bruno Ferreira', 'Porto', 'Portugal', NULL),
    ('Chloé Dubois', 'Lyon', 'France', 'chloe.dubois@example.fr'),
    ('Dieter Müller', 'München', 'Germany', 'd.mueller@example.de'),
    ('Eva Nováková', 'Brno', 'Czechia', NULL),
    ('Fumiko Tanaka', '京都', 'Japan', 'fumiko@example.jp'),
    ('Gustavo Peña', 'Sevilla', 'Spain', 'gpena@example.es'),
    ('Hannah Berg', 'Tromsø', 'Norway', NULL);

CREATE TABLE products (
    id INTEGER PRIMARY KEY,
    name TEXT NOT NULL,
    unit_price REAL,
    in_stock INTEGER DEFAULT 0
);
INSERT INTO products (name, unit_price, in_stock) VALUES
    ('Notebook A5', 2.5, 120),
    ('Fountain pen', 18.9, 14),
    ('Ink, blue (50 ml)', 6.75, 40),
    ('Desk lamp', 34.0, NULL),
    ('Crème for leather', 9.95, 7),
    ('Paper clips (100)', 1.2, 500);

CREATE TABLE orders (
    id INTEGER PRIMARY KEY,
    customer_id INTEGER REFERENCES customers(id),
    product_id INTEGER REFERENCES products(id),
    quantity INTEGER NOT NULL DEFAULT 1,
    ordered_on TEXT,
    note TEXT
);
INSERT INTO orders (customer_id, product_id, quantity, ordered_on, note) VALUES
    (1, 2, 1, '2020-08-02', NULL),
    (3, 5, 2, '2020-08-03', 'Gift wrap, please'),
    (4, 1, 10, '2020-08-05', NULL),
    (6, 3, 3, '2020-08-09', 'お急ぎ'),
    (2, 6, 4, '2020-08-11', NULL),
    (5, 4, 1, '2020-08-12', 'Deliver after 5 pm');

CREATE TABLE "order lines" (
    order_id INTEGER,
    line INTEGER,
    description TEXT,
    amount REAL
);
INSERT INTO "order lines" VALUES
    (1, 1, 'Fountain pen', 18.9),
    (2, 1, 'Crème for leather', 9.95),
    (2, 2, 'Gift wrap', NULL),
    (3, 1, 'Notebook A5 × 10', 25.0);

-- A few thousand readings, to scroll through and to export across pages.
CREATE TABLE readings (
    id INTEGER PRIMARY KEY,
    station TEXT,
    taken_at TEXT,
    temperature REAL,
    humidity INTEGER
);
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 4000)
INSERT INTO readings (station, taken_at, temperature, humidity)
SELECT CASE i % 4 WHEN 0 THEN 'North' WHEN 1 THEN 'South' WHEN 2 THEN 'East' ELSE 'West' END,
       datetime('2020-01-01 00:00:00', '+' || (i * 15) || ' minutes'),
       round(10 + ((i * 37) % 200) / 10.0, 1),
       CASE WHEN i % 97 = 0 THEN NULL ELSE 40 + (i * 13) % 55 END
FROM n;

CREATE VIEW customer_orders AS
SELECT o.id AS order_id, c.name AS customer, p.name AS product, o.quantity, o.ordered_on
FROM orders o JOIN customers c ON c.id = o.customer_id JOIN products p ON p.id = o.product_id;
